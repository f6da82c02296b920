// The limits a host process runs under, read before a module is loaded: each limit right at its
// need passes and one unit below it is named, with the figure the user would type to mend it.
// Each case lowers a soft limit, so it runs in a child of its own: the test process keeps its own.
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/loading/host_limits.h"

namespace {

// Runs `check` in a child after setting the soft limit of `resource` to `soft`; the child's exit
// code is the number of the first check that failed (0: all held), 99 when the limit could not be
// set at all (the hard limit is lower still).
int in_child_with_limit(int resource, rlim_t soft, const std::function<int()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0) _exit(99);
        if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < soft) _exit(99);
        limit.rlim_cur = soft;
        if (setrlimit(resource, &limit) != 0) _exit(99);
        _exit(check());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

bool names(const std::vector<std::string>& problems, const std::string& line) {
    for (const std::string& problem : problems) {
        if (problem == line) return true;
    }
    return false;
}

TEST(HostLimits, TheStackLimitIsReadInKibAndGrowsTheAddressSpaceNeeded) {
    const int failed = in_child_with_limit(RLIMIT_STACK, 4096 * 1024, [] {
        const std::optional<unsigned long> stack = tmhost::stack_limit_kib();
        if (!stack || *stack != 4096) return 1;
        // 64 render threads of the stack limit's size each, and 256 MiB beside them.
        if (tmhost::validation_needs().address_space_kib != 64ul * 4096 + 256 * 1024) return 2;
        return 0;
    });
    ASSERT_NE(failed, 99) << "the stack limit cannot be set to 4 MiB here";
    EXPECT_EQ(failed, 0);
}

TEST(HostLimits, AnUnlimitedStackCountsAsTheLibrarysDefaultThreadStack) {
    const int failed = in_child_with_limit(RLIMIT_STACK, RLIM_INFINITY, [] {
        if (tmhost::stack_limit_kib()) return 1;
        if (tmhost::validation_needs().address_space_kib != 64ul * 2048 + 256 * 1024) return 2;
        return 0;
    });
    if (failed == 99) GTEST_SKIP() << "the stack limit cannot be lifted here";
    EXPECT_EQ(failed, 0);
}

TEST(HostLimits, OpenFilesAtTheNeedPassAndOneFewerIsNamed) {
    tmhost::HostNeeds needs;
    needs.open_files = 64;
    EXPECT_EQ(
        in_child_with_limit(RLIMIT_NOFILE, 64,
                            [&] { return tmhost::host_limit_problems(needs).empty() ? 0 : 1; }),
        0);
    EXPECT_EQ(in_child_with_limit(RLIMIT_NOFILE, 63,
                                  [&] {
                                      const std::vector<std::string> problems =
                                          tmhost::host_limit_problems(needs);
                                      if (problems.size() != 1) return 1;
                                      return names(problems,
                                                   "the open-file limit (ulimit -n) is 63 "
                                                   "descriptors, below the 64 descriptors needed")
                                                 ? 0
                                                 : 2;
                                  }),
              0);
}

TEST(HostLimits, TheStackIsComparedInKibAndANeedOfNoneIsNeverNamed) {
    tmhost::HostNeeds needs;
    needs.stack_kib = 1024;
    EXPECT_EQ(
        in_child_with_limit(RLIMIT_STACK, 1024 * 1024,
                            [&] { return tmhost::host_limit_problems(needs).empty() ? 0 : 1; }),
        0);
    EXPECT_EQ(in_child_with_limit(RLIMIT_STACK, 1023 * 1024,
                                  [&] {
                                      return names(tmhost::host_limit_problems(needs),
                                                   "the stack limit (ulimit -s) is 1023 KiB, "
                                                   "below the 1024 KiB needed")
                                                 ? 0
                                                 : 1;
                                  }),
              0);
    // Nothing asked of the stack: even a small limit is no problem of this work's.
    EXPECT_EQ(in_child_with_limit(
                  RLIMIT_STACK, 256 * 1024,
                  [] { return tmhost::host_limit_problems(tmhost::HostNeeds()).empty() ? 0 : 1; }),
              0);
}

}  // namespace
