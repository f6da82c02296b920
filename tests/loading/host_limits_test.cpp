// The limits a host process runs under, read before a module is loaded: each limit right at its
// need passes and one unit below it is named, with the figure the user would type to mend it.
// Each case lowers a soft limit, so it runs in a child of its own: the test process keeps its own.
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/loading/coverage_counts.h"
#include "host/loading/host_limits.h"

namespace {

// Runs `check` in a child after setting the soft limit of `resource` to `soft`; the child's exit
// code is the number of the first check that failed (0: all held), 99 when the limit could not be
// set at all (the hard limit is lower still) or does not take: qemu-user answers a new stack limit
// with success and keeps its own.
int in_child(const std::function<int()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        const int failed = check();
        // _exit skips the exit hooks that write the coverage build's counts.
        tmhost::write_coverage_counts();
        _exit(failed);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

int in_child_with_limit(int resource, rlim_t soft, const std::function<int()>& check) {
    return in_child([&] {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0) return 99;
        if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < soft) return 99;
        limit.rlim_cur = soft;
        if (setrlimit(resource, &limit) != 0) return 99;
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur != soft) return 99;
        return check();
    });
}

constexpr const char* kNoStackLimit = "a stack limit set here does not take (under qemu-user)";

bool names(const std::vector<std::string>& problems, const std::string& line) {
    for (const std::string& problem : problems) {
        if (problem == line) return true;
    }
    return false;
}

// The default stack of new threads set to `kib` in this process (it is a child's).
bool set_thread_stack_kib(unsigned long kib) {
    pthread_attr_t defaults;
    if (pthread_getattr_default_np(&defaults) != 0) return false;
    const bool set = pthread_attr_setstacksize(&defaults, kib * 1024) == 0 &&
                     pthread_setattr_default_np(&defaults) == 0;
    pthread_attr_destroy(&defaults);
    return set;
}

TEST(HostLimits, TheStackLimitIsReadInKib) {
    const int failed = in_child_with_limit(RLIMIT_STACK, 4096 * 1024, [] {
        const std::optional<unsigned long> stack = tmhost::stack_limit_kib();
        return stack && *stack == 4096 ? 0 : 1;
    });
    if (failed == 99) GTEST_SKIP() << kNoStackLimit;
    EXPECT_EQ(failed, 0);
    const int unlimited = in_child_with_limit(RLIMIT_STACK, RLIM_INFINITY,
                                              [] { return tmhost::stack_limit_kib() ? 1 : 0; });
    if (unlimited != 99) {
        EXPECT_EQ(unlimited, 0) << "an unlimited stack has a limit";
    }
}

// The threads' stacks are what the address space must hold, however small the stack limit: the
// host raises them above it (8 MiB), and a limit lowered after the process started changes
// neither.
TEST(HostLimits, TheAddressSpaceNeededGrowsWithTheThreadsStacksNotTheStackLimit) {
    const auto check = [] {
        if (!set_thread_stack_kib(8192)) return 98;
        const std::optional<unsigned long> stack = tmhost::thread_stack_kib();
        if (!stack || *stack != 8192) return 1;
        // 64 render threads of 8 MiB each, and 256 MiB beside them.
        if (tmhost::validation_needs().address_space_kib != 64ul * 8192 + 256 * 1024) return 2;
        if (!set_thread_stack_kib(3072)) return 98;
        if (tmhost::validation_needs().address_space_kib != 64ul * 3072 + 256 * 1024) return 3;
        return 0;
    };
    int failed = in_child_with_limit(RLIMIT_STACK, 1024 * 1024, check);
    // Where no stack limit takes, the threads' stacks still decide, under the limit there is.
    if (failed == 99) failed = in_child(check);
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
    const int at_need = in_child_with_limit(RLIMIT_STACK, 1024 * 1024, [&] {
        return tmhost::host_limit_problems(needs).empty() ? 0 : 1;
    });
    if (at_need == 99) GTEST_SKIP() << kNoStackLimit;
    EXPECT_EQ(at_need, 0);
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
