// Guarded blocks: their bytes usable and zero, a touch past either end fatal, their pages given
// back.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <new>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "host/core/emulation.h"
#include "host/loading/guarded_block.h"

#if defined(__linux__)
#include <unistd.h>
#endif

namespace {

#if defined(__linux__)
unsigned char read_byte(const void* p) { return *static_cast<const volatile unsigned char*>(p); }

std::size_t page() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

std::size_t mapping_count() {
    std::ifstream maps("/proc/self/maps");
    std::size_t lines = 0;
    for (std::string line; std::getline(maps, line);) ++lines;
    return lines;
}
#endif

TEST(GuardedBlocks, EveryByteIsZeroAndWritableAndTheBlockEndsAtTheGuard) {
    for (std::size_t size : {std::size_t{1}, std::size_t{3}, std::size_t{100}, std::size_t{4096},
                             std::size_t{4097}, std::size_t{12288}}) {
        tmhost::GuardedBlock block(size);
        ASSERT_NE(block.data(), nullptr);
        EXPECT_EQ(block.size(), size);
        unsigned char* bytes = block.as<unsigned char>();
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(bytes[i], 0u) << size << " at " << i;
        std::memset(bytes, 0xa5, size);
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(bytes[i], 0xa5u) << size << " at " << i;
        // The end lies on a page boundary (pages are 4 KiB on every system built for).
        EXPECT_EQ((reinterpret_cast<std::uintptr_t>(bytes) + size) % 4096u, 0u) << size;
    }
}

TEST(GuardedBlocks, ASizeThatIsAMultipleOfFourIsFourAligned) {
    for (std::size_t size : {std::size_t{4}, std::size_t{28}, std::size_t{72 * 4}}) {
        tmhost::GuardedBlock block(size);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % 4u, 0u) << size;
    }
}

TEST(GuardedBlocks, MovingHandsOverTheBlockAndLeavesNothingBehind) {
    tmhost::GuardedBlock first(16);
    void* data = first.data();
    first.as<uint32_t>()[3] = 0x12345678u;
    tmhost::GuardedBlock second(std::move(first));
    EXPECT_EQ(first.data(), nullptr);
    EXPECT_EQ(first.size(), 0u);
    EXPECT_EQ(second.data(), data);
    EXPECT_EQ(second.size(), 16u);
    EXPECT_EQ(second.as<uint32_t>()[3], 0x12345678u);

    tmhost::GuardedBlock third(8);
    third = std::move(second);
    EXPECT_EQ(third.data(), data);
    EXPECT_EQ(third.size(), 16u);
    EXPECT_EQ(second.data(), nullptr);

    // Moved onto itself (through another name), a block keeps its pages and what they hold.
    tmhost::GuardedBlock& same = third;
    third = std::move(same);
    EXPECT_EQ(third.data(), data);
    EXPECT_EQ(third.size(), 16u);
    EXPECT_EQ(third.as<uint32_t>()[3], 0x12345678u);
}

TEST(GuardedBlocks, SizesTheSystemCannotGiveThrowBadAlloc) {
    EXPECT_THROW(tmhost::GuardedBlock(static_cast<std::size_t>(-1)), std::bad_alloc);
    EXPECT_THROW(tmhost::GuardedBlock(static_cast<std::size_t>(-1) - 4096), std::bad_alloc);
    // Larger than the whole of a 32-bit process's address space that is free to map.
    EXPECT_THROW(tmhost::GuardedBlock(std::size_t{0xF0000000u}), std::bad_alloc);
}

TEST(GuardedBlocks, PagesAreGivenBack) {
    // Six GiB in all, more than a 32-bit process can hold at once: a block whose pages stayed
    // mapped would run the loop out of address space.
    for (int i = 0; i < 6 * 1024; ++i) {
        tmhost::GuardedBlock block(std::size_t{1} << 20);
        block.as<unsigned char>()[0] = 1;
    }
#if defined(__linux__)
    if (tmhost::running_under_emulation()) {
        GTEST_SKIP() << "the mapping count: the emulator keeps mappings of its own";
    }
    const auto round = [] {
        tmhost::GuardedBlock block(100);
        tmhost::GuardedBlock moved(std::move(block));
        tmhost::GuardedBlock assigned(4);
        assigned = std::move(moved);
    };
    // The first round, and the first count, may map memory of the allocator's (the sanitizer's
    // grows region by region): what is counted is what the rounds after them leave.
    round();
    mapping_count();
    const std::size_t before = mapping_count();
    for (int i = 0; i < 200; ++i) round();
    EXPECT_EQ(mapping_count(), before);
#endif
}

#if defined(__linux__)
class GuardedBlockDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(GuardedBlockDeathTest, AReadOnePastTheEndFaults) {
    tmhost::GuardedBlock block(28);
    const unsigned char* bytes = block.as<unsigned char>();
    EXPECT_EQ(read_byte(bytes + 27), 0u);
    EXPECT_DEATH(read_byte(bytes + 28), "");
}

TEST_F(GuardedBlockDeathTest, AnEmptyBlockPointsAtItsGuard) {
    tmhost::GuardedBlock block(0);
    ASSERT_NE(block.data(), nullptr);
    EXPECT_DEATH(read_byte(block.data()), "");
}

TEST_F(GuardedBlockDeathTest, AReadBeforeAWholePageBlockFaults) {
    tmhost::GuardedBlock block(page());
    const unsigned char* bytes = block.as<unsigned char>();
    EXPECT_EQ(read_byte(bytes), 0u);
    EXPECT_DEATH(read_byte(bytes - 1), "");
}
#endif

}  // namespace
