// The wait for a child made with fork: it ends with the child, not with the child's pipe, whatever
// the child started; an end that cannot be learnt is never taken for a clean one.
#include <string>

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "host/loading/child_process.h"

namespace {

struct Pipe {
    int ends[2] = {-1, -1};
    Pipe() { EXPECT_EQ(pipe(ends), 0); }
    ~Pipe() {
        for (int end : ends)
            if (end >= 0) close(end);
    }
    void close_writing() {
        close(ends[1]);
        ends[1] = -1;
    }
};

void say(int to, const char* text) {
    const ssize_t written = write(to, text, std::strlen(text));
    (void)written;
}

// A child in a group of its own that runs `body` and never comes back; the parent keeps only the
// pipe's reading end.
template <typename Body>
pid_t child_in_own_group(Pipe& channel, Body body) {
    const pid_t child = fork();
    if (child == 0) {
        tmhost::enter_own_group();
        body();
        _exit(0);
    }
    if (child > 0) tmhost::give_own_group(child);
    channel.close_writing();
    return child;
}

TEST(ChildProcess, TheEndIsTheChildsEvenWhenWhatItStartedWritesOnAndOn) {
    Pipe channel;
    const int writing = channel.ends[1];
    const pid_t child = child_in_own_group(channel, [writing] {
        say(writing, "the child's words\n");
        // Its own child holds the pipe open and never stops writing: the parent must still see
        // the child's end, take what it said, and end the rest of the group.
        if (fork() == 0) {
            for (;;) say(writing, "more and more and more\n");
        }
        _exit(3);
    });
    ASSERT_GE(child, 0);
    std::string text;
    const tmhost::ChildEnd end = tmhost::wait_for_child(child, channel.ends[0], text, 1 << 16, 60);
    EXPECT_FALSE(end.timed_out);
    EXPECT_FALSE(end.lost);
    ASSERT_TRUE(WIFEXITED(end.status));
    EXPECT_EQ(WEXITSTATUS(end.status), 3);
    EXPECT_EQ(text.rfind("the child's words\n", 0), 0u) << text.substr(0, 80);
    // Kept to its bound, give or take one read.
    EXPECT_LE(text.size(), (1u << 16) + 4096u);
}

// A child that wrote past the bound and ended before the parent looked: what it left in the pipe
// is read to the end, and only up to the bound is kept.
TEST(ChildProcess, WhatAnEndedChildLeftIsReadToTheEndAndKeptToItsBound) {
    Pipe channel;
    const int writing = channel.ends[1];
    const pid_t child = child_in_own_group(channel, [writing] {
        const std::string line(99, 'x');
        for (int i = 0; i < 160; ++i) say(writing, (line + "\n").c_str());
    });
    ASSERT_GE(child, 0);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    std::string text;
    const tmhost::ChildEnd end = tmhost::wait_for_child(child, channel.ends[0], text, 100, 60);
    EXPECT_FALSE(end.lost);
    ASSERT_TRUE(WIFEXITED(end.status));
    EXPECT_EQ(WEXITSTATUS(end.status), 0);
    EXPECT_EQ(text.rfind(std::string(99, 'x') + "\n", 0), 0u);
    EXPECT_LE(text.size(), 100u + 4096u) << "kept to its bound, give or take one read";
    char rest = 0;
    EXPECT_EQ(read(channel.ends[0], &rest, 1), 0) << "the 16000 bytes were all read";
}

TEST(ChildProcess, AChildReapedBySomeoneElseIsLostNotPassed) {
    Pipe channel;
    const pid_t child = child_in_own_group(channel, [] { _exit(9); });
    ASSERT_GE(child, 0);
    // Another thread of the process (or a module in it) waits for the child first.
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::string text;
    const tmhost::ChildEnd end = tmhost::wait_for_child(child, channel.ends[0], text, 1024, 60);
    EXPECT_TRUE(end.lost);
    EXPECT_EQ(end.wait_error, ECHILD);
    EXPECT_FALSE(end.timed_out);
}

TEST(ChildProcess, AChildPastItsTimeIsKilledWithItsGroup) {
    Pipe channel;
    const pid_t child = child_in_own_group(channel, [] {
        for (;;) pause();
    });
    ASSERT_GE(child, 0);
    std::string text;
    const tmhost::ChildEnd end = tmhost::wait_for_child(child, channel.ends[0], text, 1024, 0.2);
    EXPECT_TRUE(end.timed_out);
    EXPECT_FALSE(end.lost);
    ASSERT_TRUE(WIFSIGNALED(end.status));
    EXPECT_EQ(WTERMSIG(end.status), SIGKILL);
}

}  // namespace

#endif
