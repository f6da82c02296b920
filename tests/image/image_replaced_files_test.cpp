// What a write leaves in its folder: a replaced file keeps its mode and owner, a new one gets
// the umask's mode, a write cut short by a signal leaves no temporary file, and the temporary
// files of earlier writes cut short are removed once stale. And which paths name the same file.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "host/image/file_identity.h"
#include "host/image/temporary_files.h"
#include "host/image/whole_file.h"
#include "temporary_folder.h"

#if defined(__linux__)
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(TemporaryFiles, OnlyTheWritesOwnPatternIsATemporaryName) {
    EXPECT_TRUE(tmhost::temporary_name(".tmx-abc123"));
    EXPECT_TRUE(tmhost::temporary_name(".tmx-000000"));
    for (const char* name : {".tmx-abc12", ".tmx-abc1234", ".tmx-ABC123", ".tmx-abc12.",
                             "tmx-abc123", "x.tmx-abc123", ".tmx-abc_23", ""}) {
        EXPECT_FALSE(tmhost::temporary_name(name)) << name;
    }
}

// A write removes what earlier writes cut short left (older than a minute), and nothing else:
// not a fresh one (a write under way), not a name outside the pattern, not a folder.
TEST(TemporaryFiles, AWriteRemovesStaleTemporaryFilesOfItsPatternOnly) {
    tmhost::TemporaryFolder folder;
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    for (const char* name : {".tmx-stale1", ".tmx-fresh1", ".tmx-STALE2", "keep.tmx-stale3"}) {
        folder.write(name, "left");
        if (std::string(name) != ".tmx-fresh1") fs::last_write_time(folder.path() / name, old);
    }
    fs::create_directory(folder.path() / ".tmx-stale4");
    // Windows' C runtime cannot date a folder back: there it is a fresh one, kept all the same.
#if !defined(_WIN32)
    fs::last_write_time(folder.path() / ".tmx-stale4", old);
#endif
    tmhost::replace_file((folder.path() / "image.png").string(), "image");
    EXPECT_EQ(names(folder.path()),
              (std::vector<std::string>{".tmx-STALE2", ".tmx-fresh1", ".tmx-stale4", "image.png",
                                        "keep.tmx-stale3"}));
}

TEST(FileIdentity, EveryNameOfAFileIsThatFile) {
    tmhost::TemporaryFolder folder;
    const fs::path module = folder.write("Tonemix.cdl", "module");
    folder.write("res/description/Xtonemix.json", "{}");
    folder.write("res/strings/deep/names.str", "names");
    folder.write("other.png", "image");
    tmhost::FilesRead read;
    read.add(module.string(), "the module file");
    read.add_folder((folder.path() / "res").string(), "the module's ");
    read.add((folder.path() / "missing.json").string(), "nothing");
    const std::string dotted = (folder.path() / "res" / ".." / "Tonemix.cdl").string();
    EXPECT_EQ(read.named_by(dotted).value_or("none"), "the module file");
    EXPECT_EQ(
        read.named_by((folder.path() / "res/description/Xtonemix.json").string()).value_or("none"),
        "the module's res/description/Xtonemix.json");
    EXPECT_EQ(
        read.named_by((folder.path() / "res/strings/deep/names.str").string()).value_or("none"),
        "the module's res/strings/deep/names.str");
    EXPECT_FALSE(read.named_by((folder.path() / "other.png").string()));
    EXPECT_FALSE(read.named_by((folder.path() / "missing.json").string()));
    EXPECT_FALSE(read.named_by((folder.path() / "res/new.json").string()));
#if defined(__linux__)
    fs::create_hard_link(module, folder.path() / "hard.xml");
    fs::create_symlink("res/description/Xtonemix.json", folder.path() / "link.xml");
    EXPECT_EQ(read.named_by((folder.path() / "hard.xml").string()).value_or("none"),
              "the module file");
    EXPECT_EQ(read.named_by((folder.path() / "link.xml").string()).value_or("none"),
              "the module's res/description/Xtonemix.json");
#endif
}

#if defined(__linux__)

mode_t mode_of(const fs::path& file) {
    struct stat status {};
    stat(file.c_str(), &status);
    return status.st_mode & 07777;
}

TEST(ReplacedFiles, AReplacedFileKeepsItsModeAndANewOneTakesTheUmask) {
    tmhost::TemporaryFolder folder;
    const fs::path kept = folder.write("private.png", "earlier");
    ASSERT_EQ(chmod(kept.c_str(), 0600), 0);
    const fs::path odd = folder.write("odd.png", "earlier");
    ASSERT_EQ(chmod(odd.c_str(), 04751), 0);
    const mode_t umask_before = umask(027);
    tmhost::replace_file(kept.string(), "image");
    tmhost::replace_file(odd.string(), "image");
    tmhost::replace_file((folder.path() / "new.png").string(), "image");
    umask(umask_before);
    EXPECT_EQ(mode_of(kept), 0600u);
    EXPECT_EQ(tmhost::read_file(kept.string()), "image");
    // The set-id bit belonged to the old content.
    EXPECT_EQ(mode_of(odd), 0751u);
    EXPECT_EQ(mode_of(folder.path() / "new.png"), 0640u);
}

TEST(ReplacedFiles, AFileOfAnotherUserStaysTheirsWhereThisProcessMayGiveIt) {
    if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
    tmhost::TemporaryFolder folder;
    const fs::path theirs = folder.write("theirs.png", "earlier");
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    tmhost::replace_file(theirs.string(), "image");
    struct stat status {};
    ASSERT_EQ(stat(theirs.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
}

// The status a child ends with that writes `bytes` over `file` under a file size limit of
// `limit` bytes, the SIGXFSZ it gets there as `xfsz` sets it.
int write_past_limit(const fs::path& file, std::size_t bytes, rlim_t limit, void (*xfsz)(int)) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, xfsz);
        const rlimit small{limit, limit};
        setrlimit(RLIMIT_FSIZE, &small);
        try {
            tmhost::replace_file(file.string(), std::string(bytes, 'x'));
        } catch (const tmhost::FileError&) {
            _exit(3);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// The system stops a write past the file size limit with SIGXFSZ in the middle of it: the
// process ends by that signal as it would have, but not before its temporary file is gone, and
// the earlier file is as it was. Ignored, the signal leaves the write to fail, and the write
// removes its file itself.
TEST(ReplacedFiles, ASignalMidWriteLeavesNoTemporaryFile) {
    tmhost::TemporaryFolder folder;
    const fs::path file = folder.write("image.pfm", "earlier");
    const int killed = write_past_limit(file, 1 << 20, 64 << 10, SIG_DFL);
    ASSERT_TRUE(WIFSIGNALED(killed)) << killed;
    EXPECT_EQ(WTERMSIG(killed), SIGXFSZ);
    EXPECT_EQ(names(folder.path()), std::vector<std::string>{"image.pfm"});
    EXPECT_EQ(tmhost::read_file(file.string()), "earlier");

    const int failed = write_past_limit(file, 1 << 20, 64 << 10, SIG_IGN);
    ASSERT_TRUE(WIFEXITED(failed)) << failed;
    EXPECT_EQ(WEXITSTATUS(failed), 3);
    EXPECT_EQ(names(folder.path()), std::vector<std::string>{"image.pfm"});
}

#endif

}  // namespace
