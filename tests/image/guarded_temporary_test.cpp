// What a signal does to a guarded temporary file when the process is not simply ended by it: a
// handler set before ours is called instead and the file stays (the process may go on, and its
// write with it), an ignored signal stays ignored, and a child forked mid-write that is ended by
// the signal leaves its parent's file in place.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/image/temporary_files.h"
#include "temporary_folder.h"

#if defined(__linux__)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#if defined(__linux__)

namespace fs = std::filesystem;

volatile sig_atomic_t plain_calls = 0;
volatile sig_atomic_t informed_calls = 0;
volatile sig_atomic_t informed_number = 0;

void plain_handler(int) { plain_calls = plain_calls + 1; }
void informed_handler(int number, siginfo_t*, void*) {
    informed_calls = informed_calls + 1;
    informed_number = number;
}

// The signal's disposition for the length of a test, put back as it was at its end (the guard
// installs its own handler over it, which then finds the old one again on the next write).
class SignalKept {
public:
    explicit SignalKept(int number) : number_(number) { sigaction(number, nullptr, &before_); }
    ~SignalKept() { sigaction(number_, &before_, nullptr); }
    SignalKept(const SignalKept&) = delete;
    SignalKept& operator=(const SignalKept&) = delete;

private:
    int number_;
    struct sigaction before_ {};
};

TEST(GuardedTemporaries, AHandlerSetBeforeOursIsCalledInsteadAndTheFileStays) {
    tmhost::TemporaryFolder folder;
    {
        const SignalKept kept(SIGHUP);
        struct sigaction informed {};
        informed.sa_sigaction = informed_handler;
        informed.sa_flags = SA_SIGINFO;
        sigemptyset(&informed.sa_mask);
        ASSERT_EQ(sigaction(SIGHUP, &informed, nullptr), 0);
        const fs::path file = folder.write(".tmx-abc123", "part written");
        tmhost::GuardedTemporary guard(file.string());
        informed_calls = 0;
        raise(SIGHUP);
        EXPECT_EQ(informed_calls, 1);
        EXPECT_EQ(informed_number, SIGHUP);
        EXPECT_EQ(tmhost::file_content(file), "part written");
    }
    {
        const SignalKept kept(SIGINT);
        ASSERT_NE(signal(SIGINT, plain_handler), SIG_ERR);
        const fs::path file = folder.write(".tmx-def456", "part written");
        tmhost::GuardedTemporary guard(file.string());
        plain_calls = 0;
        raise(SIGINT);
        raise(SIGINT);
        EXPECT_EQ(plain_calls, 2);
        EXPECT_EQ(tmhost::file_content(file), "part written");
    }
}

TEST(GuardedTemporaries, AnIgnoredSignalStaysIgnored) {
    tmhost::TemporaryFolder folder;
    const SignalKept kept(SIGHUP);
    ASSERT_NE(signal(SIGHUP, SIG_IGN), SIG_ERR);
    const fs::path file = folder.write(".tmx-ghi789", "part written");
    tmhost::GuardedTemporary guard(file.string());
    raise(SIGHUP);
    EXPECT_EQ(tmhost::file_content(file), "part written");
    struct sigaction now {};
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
}

// The child inherits the table of files under way; a signal that ends it must remove only files
// the child itself is writing, never the parent's, which the parent's write goes on with.
TEST(GuardedTemporaries, AChildEndedBySignalLeavesItsParentsFileAndRemovesItsOwn) {
    tmhost::TemporaryFolder folder;
    const SignalKept kept(SIGTERM);
    ASSERT_NE(signal(SIGTERM, SIG_DFL), SIG_ERR);
    const fs::path parents = folder.write(".tmx-parent", "the parent's");
    const fs::path childs = folder.write(".tmx-child0", "the child's");
    tmhost::GuardedTemporary guard(parents.string());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        tmhost::GuardedTemporary own(childs.string());
        raise(SIGTERM);
        _exit(0);  // not reached: the signal ends the child
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(tmhost::file_content(parents), "the parent's");
    EXPECT_FALSE(fs::exists(childs));
}

#endif

}  // namespace
