// Host file names: held ones, host-allocated blocks, and the resource name derived from a module
// path, including the module's way of giving a derived name back (copy, then free, no destroy).
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"

namespace {

class HostFilenames : public ::testing::Test {
protected:
    std::string name_of(const HostFilenameStorage* f) {
        const std::string* text = host.filenames().text(f);
        return text != nullptr ? *text : "<not started>";
    }

    tmhost::StandInHost host;
    HostFilenameTable& ops = *host.table()->filename;
    HostStringTable& strings = *host.table()->string;
};

TEST_F(HostFilenames, HeldNameFromAStringCopiedAndEnded) {
    HostStringStorage path;
    strings.init(&path);
    strings.set_cstr(&path, "/modules/Tonemix.cdl", -1, 0);
    HostFilenameStorage a, b;
    ops.init(&a);
    ops.set_string(&a, &path);
    ops.init(&b);
    ops.copy(&a, &b);
    EXPECT_EQ(name_of(&b), "/modules/Tonemix.cdl");
    ops.destroy(&a);
    ops.destroy(&b);
    strings.free(&path);
    EXPECT_TRUE(host.left_behind().empty()) << host.left_behind().lines().size();
}

TEST_F(HostFilenames, AllocatedBlockIsNotStartedUntilInit) {
    HostFilenameHandle block = ops.alloc();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(host.filenames().text(block), nullptr);
    EXPECT_EQ(host.filenames().block_count(), 1u);
    ops.init(block);
    EXPECT_EQ(name_of(block), "");
    ops.destroy(block);
    ops.free(block);
    EXPECT_EQ(host.filenames().block_count(), 0u);
    EXPECT_TRUE(host.left_behind().empty());
}

TEST_F(HostFilenames, DerivedNameIsTheResFolderBesideTheModuleAndComesStarted) {
    HostFilenameStorage module_file, destination;
    host.filenames().start(&module_file, "/work/build/linux-i686/Tonemix.cdl");
    ops.init(&destination);
    HostFilenameHandle derived = ops.derive(&module_file);
    ASSERT_NE(derived, nullptr);
    EXPECT_EQ(name_of(derived), "/work/build/linux-i686/res");
    // The module gives it back this way: copy out, then free without destroy.
    ops.copy(derived, &destination);
    ops.free(derived);
    EXPECT_EQ(name_of(&destination), "/work/build/linux-i686/res");
    ops.destroy(&destination);
    ops.destroy(&module_file);
    EXPECT_TRUE(host.left_behind().empty());
}

TEST_F(HostFilenames, DeriveOfAnEmptyNameAnswersNull) {
    HostFilenameStorage empty;
    ops.init(&empty);
    EXPECT_EQ(ops.derive(&empty), nullptr);
    ops.destroy(&empty);
    EXPECT_EQ(host.filenames().block_count(), 0u);
    EXPECT_TRUE(host.misuses().messages().empty());
}

TEST_F(HostFilenames, ResourceFolderRules) {
    using tmhost::FilenameStore;
    EXPECT_EQ(FilenameStore::resource_folder_of("Tonemix.cdl"), "res");
    EXPECT_EQ(FilenameStore::resource_folder_of("/Tonemix.cdl"), "/res");
    EXPECT_EQ(FilenameStore::resource_folder_of("a/b/Tonemix.cdl"), "a/b/res");
#if defined(_WIN32)
    EXPECT_EQ(FilenameStore::resource_folder_of("Z:\\b\\Tonemix.cdl"), "Z:\\b\\res");
#endif
}

TEST_F(HostFilenames, FreeingWhatTheHostDidNotAllocateOrTwiceIsAMisuse) {
    HostFilenameStorage held;
    ops.init(&held);
    ops.free(&held);
    EXPECT_EQ(host.misuses().messages().back(),
              "filename_free: the file name was not allocated by the host");
    ops.destroy(&held);

    HostFilenameHandle block = ops.alloc();
    ops.init(block);
    ops.free(block);
    ops.free(block);
    EXPECT_EQ(host.misuses().messages().back(), "filename_free: the block was already given back");
    ops.destroy(block);  // the host reads nothing of a block it took back
    EXPECT_EQ(host.misuses().messages().back(),
              "filename_destroy: the block was already given back");
    for (int i = 0; i < 4; ++i) {
        HostFilenameHandle fresh = ops.alloc();
        EXPECT_NE(fresh, block);  // a given-back address is never handed out again
        ops.free(fresh);
    }
    EXPECT_EQ(host.filenames().block_count(), 0u);
}

TEST_F(HostFilenames, LeakedBlocksAndHeldNamesAreLeftBehind) {
    HostFilenameStorage held;
    host.filenames().start(&held, "held");
    HostFilenameHandle empty_block = ops.alloc();
    HostFilenameHandle named_block = ops.alloc();
    host.filenames().start(named_block, "in a block");
    tmhost::LeftBehind left = host.left_behind();
    ASSERT_EQ(left.file_names.size(), 1u);
    EXPECT_EQ(left.file_names[0], "held");
    ASSERT_EQ(left.file_name_blocks.size(), 2u);
    EXPECT_EQ(left.file_name_blocks[0], "not started");
    EXPECT_EQ(left.file_name_blocks[1], "holding \"in a block\"");
    ops.destroy(&held);
    ops.free(empty_block);
    ops.free(named_block);
    EXPECT_TRUE(host.left_behind().empty());
}

TEST_F(HostFilenames, FailedAllocAnswersNullAndLeavesNothing) {
    ASSERT_TRUE(host.fail("filename_alloc"));
    EXPECT_EQ(ops.alloc(), nullptr);
    EXPECT_EQ(host.journal().count("filename_alloc"), 1u);
    EXPECT_EQ(host.filenames().block_count(), 0u);
}

}  // namespace
