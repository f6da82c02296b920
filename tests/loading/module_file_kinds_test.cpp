// Files the host must not hand to the system's loader: a socket or a device, named for what it is,
// and a module left mapped under a thread it left running, which the loader would hand back as it
// was left, by whatever name the user gives it.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "host/loading/module_file.h"
#include "temporary_folder.h"

namespace {

TEST(ModuleFileKinds, ASocketOrABlockDeviceIsNamedNotRead) {
    tmhost::TemporaryFolder folder;
    tmhost::ModuleFile module;

    const std::string socket_path = (folder.path() / "socket.cdl").string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listening, 0);
    ASSERT_EQ(bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_FALSE(module.load(socket_path));
    EXPECT_EQ(module.error(), "not a module file but a socket: " + socket_path);
    close(listening);

    // A loop device's numbers, made inside the test's folder; only where nodes may be made.
    const std::string block = (folder.path() / "block.cdl").string();
    if (mknod(block.c_str(), S_IFBLK | 0600, makedev(7, 0)) != 0)
        GTEST_SKIP() << "no device node can be made here";
    EXPECT_FALSE(module.load(block));
    EXPECT_EQ(module.error(), "not a module file but a block device: " + block);
    EXPECT_FALSE(module.loaded());
}

TEST(ModuleFileKinds, AModuleKeptLoadedIsNotLoadedAfreshByAnyName) {
    tmhost::TemporaryFolder folder;
    // A copy of its own: the module stays mapped for the rest of this process.
    const std::filesystem::path kept = folder.path() / "Kept.cdl";
    std::filesystem::copy_file(TONEMIX_MODULE_FILE, kept);
    const std::filesystem::path other_name = folder.path() / "Other.cdl";
    std::filesystem::create_symlink(kept, other_name);

    tmhost::ModuleFile first;
    ASSERT_TRUE(first.load(kept.string())) << first.error();
    first.keep_loaded();
    EXPECT_FALSE(first.loaded());
    EXPECT_EQ(first.entry(), nullptr);

    tmhost::ModuleFile again;
    EXPECT_FALSE(again.load(kept.string()));
    EXPECT_EQ(again.error(), "the module cannot be loaded afresh: an earlier load of " +
                                 kept.string() + " is still mapped under a thread it left running");
    EXPECT_FALSE(again.load(other_name.string()));
    EXPECT_EQ(again.error(), "the module cannot be loaded afresh: an earlier load of " +
                                 other_name.string() +
                                 " is still mapped under a thread it left running");
    EXPECT_FALSE(again.loaded());

    // Another file of the same bytes is another module.
    const std::filesystem::path copy = folder.path() / "Copy.cdl";
    std::filesystem::copy_file(TONEMIX_MODULE_FILE, copy);
    EXPECT_TRUE(again.load(copy.string())) << again.error();
    again.unload();

    // Nothing was loaded to be kept: nothing is refused after.
    tmhost::ModuleFile none;
    none.keep_loaded();
    EXPECT_TRUE(none.load(copy.string())) << none.error();
}

}  // namespace
