// Thiscall entries called through call_thiscall_checked: their answers, the bytes they popped,
// and a caller that survives entries compiled for the wrong number of words.
#include <cstdint>

#include <gtest/gtest.h>

#include "host/loading/checked_call.h"

namespace {

#define ENTRY __attribute__((thiscall, noinline, noclone))

// Each answer mixes self with every word by position, so a word lost, repeated or misplaced, or
// a wrong ECX, shows in the result.
uint32_t mix(const void* self) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(self)); }

uint32_t ENTRY take0(void* self) { return mix(self) ^ 0x5a5a5a5au; }
uint32_t ENTRY take1(void* self, uint32_t a) { return mix(self) + a; }
uint32_t ENTRY take2(void* self, uint32_t a, uint32_t b) { return mix(self) + a * 3 + b * 5; }
uint32_t ENTRY take3(void* self, uint32_t a, uint32_t b, uint32_t c) {
    return mix(self) + a * 3 + b * 5 + c * 7;
}
uint32_t ENTRY take4(void* self, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return mix(self) + a * 3 + b * 5 + c * 7 + d * 11;
}
uint32_t ENTRY take5(void* self, uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) {
    return mix(self) + a * 3 + b * 5 + c * 7 + d * 11 + e * 13;
}
void ENTRY take1_void(void* self, uint32_t a) { *static_cast<uint32_t*>(self) = a; }

// A local's address for every call, so the stack's words are seen intact or not.
struct Sentinels {
    volatile uint32_t before = 0xdeadbeefu;
    volatile uint32_t middle[4] = {1, 2, 3, 4};
    volatile uint32_t after = 0xfeedfaceu;
    bool intact() const {
        return before == 0xdeadbeefu && middle[0] == 1 && middle[1] == 2 && middle[2] == 3 &&
               middle[3] == 4 && after == 0xfeedfaceu;
    }
};

const uint32_t kWords[5] = {0x10u, 0x200u, 0x3000u, 0x40000u, 0x500000u};
int anchor = 0;
void* const kSelf = &anchor;

TEST(CheckedCalls, EntriesOfEveryWordCountAnswerAndPopTheirWords) {
    Sentinels sentinels;
    const uint32_t self = mix(kSelf);
    struct Case {
        const void* entry;
        int count;
        uint32_t expected;
    };
    const Case cases[] = {
        {reinterpret_cast<const void*>(take0), 0, self ^ 0x5a5a5a5au},
        {reinterpret_cast<const void*>(take1), 1, self + 0x10u},
        {reinterpret_cast<const void*>(take2), 2, self + 0x30u + 0xa00u},
        {reinterpret_cast<const void*>(take3), 3, self + 0x30u + 0xa00u + 0x15000u},
        {reinterpret_cast<const void*>(take4), 4, self + 0x30u + 0xa00u + 0x15000u + 0x2c0000u},
        {reinterpret_cast<const void*>(take5), 5,
         self + 0x30u + 0xa00u + 0x15000u + 0x2c0000u + 0x4100000u},
    };
    for (const Case& c : cases) {
        tmhost::CheckedCall call = tmhost::call_thiscall_checked(c.entry, kSelf, kWords, c.count);
        EXPECT_EQ(call.result, c.expected) << c.count << " words";
        EXPECT_EQ(call.popped_bytes, 4 * c.count) << c.count << " words";
    }
    EXPECT_TRUE(sentinels.intact());
}

TEST(CheckedCalls, AVoidEntryGetsItsSelfInEcx) {
    uint32_t target = 0;
    const uint32_t word = 0xabcdef01u;
    tmhost::CheckedCall call =
        tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take1_void), &target, &word, 1);
    EXPECT_EQ(target, 0xabcdef01u);
    EXPECT_EQ(call.popped_bytes, 4);
}

TEST(CheckedCalls, AnEntryThatPopsTooFewBytesIsSeenAndTheCallerSurvives) {
    Sentinels sentinels;
    // Two words taken where three were given: the third stays on the stack.
    tmhost::CheckedCall call =
        tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take2), kSelf, kWords, 3);
    EXPECT_EQ(call.popped_bytes, 8);
    EXPECT_EQ(call.result, mix(kSelf) + 0x30u + 0xa00u);
    call = tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take0), kSelf, kWords, 5);
    EXPECT_EQ(call.popped_bytes, 0);
    EXPECT_TRUE(sentinels.intact());
}

TEST(CheckedCalls, AnEntryThatPopsTooManyBytesIsSeenAndTheCallerSurvives) {
    Sentinels sentinels;
    // Five words taken where one was given: the entry reads and pops the call's slack.
    tmhost::CheckedCall call =
        tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take5), kSelf, kWords, 1);
    EXPECT_EQ(call.popped_bytes, 20);
    call = tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take3), kSelf, nullptr, 0);
    EXPECT_EQ(call.popped_bytes, 12);
    EXPECT_TRUE(sentinels.intact());
    // The caller's own frame is whole too: a call after them still answers right.
    call = tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take4), kSelf, kWords, 4);
    EXPECT_EQ(call.popped_bytes, 16);
    EXPECT_EQ(call.result, mix(kSelf) + 0x30u + 0xa00u + 0x15000u + 0x2c0000u);
}

TEST(CheckedCalls, ANegativeCountPushesNothing) {
    tmhost::CheckedCall call =
        tmhost::call_thiscall_checked(reinterpret_cast<const void*>(take0), kSelf, kWords, -3);
    EXPECT_EQ(call.popped_bytes, 0);
    EXPECT_EQ(call.result, mix(kSelf) ^ 0x5a5a5a5au);
}

// The stack is 16-byte aligned at the call: the entry answers the address of its first word,
// which is where ESP stood before the call pushed the return address. Written in assembly: a
// compiled function's parameter may be moved (to a sanitizer's frame, say) once its address is
// taken.
asm(".text\n"
    ".type first_word_address, @function\n"
    "first_word_address:\n"
    "    leal 4(%esp), %eax\n"
    "    ret $4\n"
    ".size first_word_address, .-first_word_address\n");
extern "C" void first_word_address();

TEST(CheckedCalls, TheStackIsSixteenByteAlignedAtTheCall) {
    for (int count = 1; count <= 5; ++count) {
        tmhost::CheckedCall call = tmhost::call_thiscall_checked(
            reinterpret_cast<const void*>(first_word_address), kSelf, kWords, count);
        EXPECT_EQ(call.result % 16u, 0u) << count << " words";
    }
}

// Breaks the convention: leaves EBX, ESI and EDI changed, answers 7 and pops its one word. The
// caller's code keeps its own values in them (EBX is the PIC register), so a call that did not
// restore them would fail the test's next steps or crash it.
asm(".text\n"
    ".type clobbering_entry_code, @function\n"
    "clobbering_entry_code:\n"
    "    movl $0x11111111, %ebx\n"
    "    movl $0x22222222, %esi\n"
    "    movl $0x33333333, %edi\n"
    "    movl $7, %eax\n"
    "    ret $4\n"
    ".size clobbering_entry_code, .-clobbering_entry_code\n");
extern "C" void clobbering_entry_code();

TEST(CheckedCalls, TheCallersRegistersSurviveAnEntryThatChangesThem) {
    Sentinels sentinels;
    uint32_t total = 0;
    for (int i = 0; i < 100; ++i) {
        tmhost::CheckedCall call = tmhost::call_thiscall_checked(
            reinterpret_cast<const void*>(clobbering_entry_code), kSelf, kWords, 1);
        EXPECT_EQ(call.result, 7u);
        EXPECT_EQ(call.popped_bytes, 4);
        total += call.result + static_cast<uint32_t>(i);
    }
    EXPECT_EQ(total, 700u + 4950u);
    EXPECT_TRUE(sentinels.intact());
}

}  // namespace
