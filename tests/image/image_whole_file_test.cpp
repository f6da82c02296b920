// Whole files written through symbolic links, under names as long as the system allows, and the
// check that a folder takes a file before any work is done for it. What is not a regular file is
// never replaced: a FIFO or a device is written through, anything else refused.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "host/image/whole_file.h"
#include "special_files.h"
#include "symbolic_link.h"
#include "temporary_folder.h"
#include "thrown_text.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using tmhost::FileError;

// The names in a folder, so that a temporary file left behind shows.
std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The error replace_file (or check_writable) throws, "" when none.
template <typename Write>
std::string write_error(Write write) {
    return tonemix_test::thrown_text<FileError>(write);
}

TEST(WholeFiles, NamesAsLongAsTheSystemAllowsAreWritten) {
    tmhost::TemporaryFolder folder;
    for (const std::size_t length : {244u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".png";
        const std::string path = (folder.path() / name).string();
        EXPECT_EQ(write_error([&] { tmhost::replace_file(path, "image"); }), "") << length;
        EXPECT_EQ(write_error([&] { tmhost::check_writable(path); }), "") << length;
        EXPECT_EQ(tmhost::read_file(path), "image");
        fs::remove(path);
        EXPECT_TRUE(names(folder.path()).empty()) << names(folder.path())[0];
    }
}

TEST(WholeFiles, ALinkIsWrittenThroughAndStaysALink) {
    tmhost::TemporaryFolder folder;
    const fs::path images = folder.path() / "images";
    const fs::path links = folder.path() / "links";
    fs::create_directories(images);
    fs::create_directories(links);
    folder.write("images/real.png", "earlier image");
    LINK_OR_SKIP("../images/real.png", links / "near.png");     // relative to its folder
    fs::create_symlink(links / "near.png", links / "far.png");  // a link to a link

    EXPECT_EQ(tmhost::write_target((links / "far.png").string()),
              (links / "../images/real.png").string());
    EXPECT_EQ(tmhost::write_target((images / "real.png").string()), (images / "real.png").string());
    tmhost::replace_file((links / "far.png").string(), "new image");
    EXPECT_EQ(tmhost::read_file((images / "real.png").string()), "new image");
    EXPECT_TRUE(fs::is_symlink(links / "far.png"));
    EXPECT_EQ(fs::read_symlink(links / "near.png"), "../images/real.png");
    // The temporary file went beside the target and was renamed there: nothing else anywhere.
    EXPECT_EQ(names(images), std::vector<std::string>{"real.png"});
    EXPECT_EQ(names(links), (std::vector<std::string>{"far.png", "near.png"}));

    // A link to nothing yet names the file to make.
    fs::create_symlink("fresh.png", images / "dangling.png");
    tmhost::replace_file((images / "dangling.png").string(), "fresh image");
    EXPECT_EQ(tmhost::read_file((images / "fresh.png").string()), "fresh image");
    EXPECT_TRUE(fs::is_symlink(images / "dangling.png"));
}

#if defined(__linux__)
TEST(WholeFiles, ALinkToAnotherFileSystemIsWrittenBesideItsTarget) {
    // A rename cannot cross file systems: written beside the link, the image would not arrive.
    const fs::path memory = "/dev/shm";
    struct stat here {};
    struct stat there {};
    tmhost::TemporaryFolder folder;
    if (stat(folder.path().c_str(), &here) != 0 || stat(memory.c_str(), &there) != 0 ||
        here.st_dev == there.st_dev) {
        GTEST_SKIP() << "no second file system at " << memory;
    }
    const fs::path target_folder = memory / folder.path().filename();
    ASSERT_TRUE(fs::create_directory(target_folder));
    const fs::path target = target_folder / "real.png";
    fs::create_symlink(target, folder.path() / "link.png");
    const std::string link = (folder.path() / "link.png").string();
    const std::string error = write_error([&] {
        tmhost::check_writable(link);
        tmhost::replace_file(link, "image");
    });
    const std::string image = fs::exists(target) ? tmhost::read_file(target.string()) : "";
    const std::vector<std::string> beside = names(target_folder);
    fs::remove_all(target_folder);
    EXPECT_EQ(error, "");
    EXPECT_EQ(image, "image");
    EXPECT_EQ(beside, std::vector<std::string>{"real.png"});
    EXPECT_EQ(names(folder.path()), std::vector<std::string>{"link.png"});
}
#endif

TEST(WholeFiles, AFailedWriteThroughALinkLeavesTheLinkTheTargetAndNoTemporary) {
    tmhost::TemporaryFolder folder;
    // A folder where the image should go: refused before anything is written.
    fs::create_directories(folder.path() / "taken.png" / "inside");
    LINK_OR_SKIP("taken.png", folder.path() / "link.png");
    const std::string link = (folder.path() / "link.png").string();
    EXPECT_EQ(write_error([&] { tmhost::replace_file(link, "image"); }),
              link + ": cannot write: a folder, not a file");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_directory(folder.path() / "taken.png" / "inside"));
    EXPECT_EQ(names(folder.path()), (std::vector<std::string>{"link.png", "taken.png"}));

    fs::create_symlink("loop-b.png", folder.path() / "loop-a.png");
    fs::create_symlink("loop-a.png", folder.path() / "loop-b.png");
    const std::string loop = (folder.path() / "loop-a.png").string();
    EXPECT_EQ(write_error([&] { tmhost::replace_file(loop, "image"); }),
              loop + ": cannot write: Too many levels of symbolic links");
    EXPECT_EQ(write_error([&] { tmhost::check_writable(loop); }),
              loop + ": cannot write: Too many levels of symbolic links");
}

TEST(WholeFiles, CheckingAFolderLeavesNothingAndNamesWhatStopsAWrite) {
    tmhost::TemporaryFolder folder;
    const std::string path = (folder.path() / "image.png").string();
    EXPECT_EQ(write_error([&] { tmhost::check_writable(path); }), "");
    EXPECT_TRUE(names(folder.path()).empty()) << names(folder.path())[0];

    const std::string missing = (folder.path() / "no" / "image.png").string();
    EXPECT_EQ(write_error([&] { tmhost::check_writable(missing); }),
              missing + ": cannot write: No such file or directory");
#if defined(__linux__)
    // A folder that takes no file even for root: sysfs makes none on request. The reason the
    // system gives is whatever a plain open answers there.
    const std::string refused = "/sys/tonemix-check.png";
    errno = 0;
    const int descriptor = open(refused.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0666);
    if (descriptor >= 0) {
        close(descriptor);
        unlink(refused.c_str());
        GTEST_SKIP() << "/sys takes files here";
    }
    const std::string reason = std::strerror(errno);
    EXPECT_EQ(write_error([&] { tmhost::check_writable(refused); }),
              refused + ": cannot write: " + reason);
    EXPECT_EQ(write_error([&] { tmhost::replace_file(refused, "image"); }),
              refused + ": cannot write: " + reason);
#endif
}

#if defined(__linux__)
using tonemix_test::read_through_fifo;

TEST(WholeFiles, AFifoIsWrittenThroughAndStaysAFifo) {
    tmhost::TemporaryFolder folder;
    const std::string fifo = (folder.path() / "view.png").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    const std::string link = (folder.path() / "link.png").string();
    fs::create_symlink(fifo, link);
    const std::string bytes(200000, 'x');  // more than a pipe holds at once
    tmhost::check_writable(fifo);
    EXPECT_EQ(read_through_fifo(fifo, [&] { tmhost::replace_file(fifo, bytes); }), bytes);
    EXPECT_EQ(read_through_fifo(fifo, [&] { tmhost::replace_file(link, "through"); }), "through");
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(names(folder.path()), (std::vector<std::string>{"link.png", "view.png"}));
}

// A device that is full, made here (as /dev/full is made) so that no test can harm the system's.
TEST(WholeFiles, AFullDeviceIsAnErrorOfTheStreamAndStaysADevice) {
    tmhost::TemporaryFolder folder;
    const std::string device = (folder.path() / "full").string();
    if (!tonemix_test::make_full_device(device)) {
        GTEST_SKIP() << "no device node can be made here: " << std::strerror(errno);
    }
    const std::string link = (folder.path() / "out.png").string();
    fs::create_symlink(device, link);
    tmhost::check_writable(link);
    const std::string error = tonemix_test::thrown_text<tmhost::StreamWriteError>(
        [&] { tmhost::replace_file(link, std::string(5000, 'x')); });
    EXPECT_EQ(error, link + ": cannot write: No space left on device");
    struct stat status {};
    ASSERT_EQ(stat(device.c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
    EXPECT_EQ(names(folder.path()), (std::vector<std::string>{"full", "out.png"}));
}

TEST(WholeFiles, NeitherFileNorStreamIsRefusedAndLeftAlone) {
    tmhost::TemporaryFolder folder;
    const std::string inner = (folder.path() / "folder").string();
    fs::create_directory(inner);
    const std::string to_folder = (folder.path() / "to-folder.png").string();
    fs::create_symlink(inner, to_folder);
    EXPECT_EQ(write_error([&] { tmhost::check_writable(to_folder); }),
              to_folder + ": cannot write: a folder, not a file");
    EXPECT_EQ(write_error([&] { tmhost::replace_file(to_folder, "x"); }),
              to_folder + ": cannot write: a folder, not a file");
    EXPECT_TRUE(fs::is_directory(inner));

    const std::string socket_path = (folder.path() / "socket").string();
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listening, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socket_path.c_str());
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(write_error([&] { tmhost::replace_file(socket_path, "x"); }),
              socket_path + ": cannot write: a socket, not a file");
    EXPECT_TRUE(fs::is_socket(fs::symlink_status(socket_path)));
    close(listening);
}
TEST(WholeFiles, ABlockDeviceIsRefusedAndLeftAlone) {
    tmhost::TemporaryFolder folder;
    const std::string device = (folder.path() / "disk").string();
    // A node of its own (the loop device's numbers), never opened: where the process may not
    // make one, there is nothing to check.
    if (mknod(device.c_str(), S_IFBLK | 0600, makedev(7, 0)) != 0) {
        GTEST_SKIP() << "no block device can be made here: " << std::strerror(errno);
    }
    EXPECT_EQ(write_error([&] { tmhost::check_writable(device); }),
              device + ": cannot write: a block device, not a file");
    EXPECT_EQ(write_error([&] { tmhost::replace_file(device, "x"); }),
              device + ": cannot write: a block device, not a file");
    struct stat status {};
    ASSERT_EQ(lstat(device.c_str(), &status), 0);
    EXPECT_TRUE(S_ISBLK(status.st_mode));
    EXPECT_EQ(names(folder.path()), std::vector<std::string>{"disk"});
}
TEST(WholeFiles, AReadStopsAtItsLimitAndSaysIt) {
    tmhost::TemporaryFolder folder;
    const std::string eleven = folder.write("eleven", "hello world").string();
    EXPECT_EQ(tmhost::read_file(eleven, 11), "hello world");
    EXPECT_EQ(tonemix_test::thrown_text<FileError>([&] { tmhost::read_file(eleven, 10); }),
              eleven + ": cannot read: more than 10 bytes");
    // An endless file ends at the limit, named in MiB where it is a whole number of them.
    EXPECT_EQ(tonemix_test::thrown_text<FileError>(
                  [&] { tmhost::read_file("/dev/zero", std::size_t{1} << 20); }),
              "/dev/zero: cannot read: more than 1 MiB");

    // Standard input is read as a file is.
    const int saved = dup(0);
    ASSERT_GE(saved, 0);
    const auto from = [&](const std::string& path) {
        const int descriptor = open(path.c_str(), O_RDONLY);
        ASSERT_GE(descriptor, 0);
        ASSERT_EQ(dup2(descriptor, 0), 0);
        close(descriptor);
        std::clearerr(stdin);
    };
    from(eleven);
    EXPECT_EQ(tmhost::read_standard_input(), "hello world");
    from(eleven);
    const std::string message =
        tonemix_test::thrown_text<FileError>([&] { tmhost::read_standard_input(4); });
    from((folder.path()).string());  // a folder: the read itself fails
    const std::string folder_message =
        tonemix_test::thrown_text<FileError>([] { tmhost::read_standard_input(); });
    ASSERT_EQ(dup2(saved, 0), 0);
    close(saved);
    std::clearerr(stdin);
    EXPECT_EQ(message, "standard input: cannot read: more than 4 bytes");
    EXPECT_EQ(folder_message, "standard input: cannot read: " + std::string(std::strerror(EISDIR)));
}
#endif

}  // namespace
