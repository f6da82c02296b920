// The threads group where the system will not start as many threads as the group asks for: the
// counts that did start are tested and the group says where it stopped, instead of waiting for
// ever on the thread that never came.
#include <string>

#include <gtest/gtest.h>

#if defined(__linux__)
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/loading/coverage_counts.h"
#include "host/validate/validation.h"

namespace {

using tmhost::GroupVerdict;

GroupVerdict threads_verdict() {
    tmhost::ValidationSettings settings;
    settings.module_path = TONEMIX_MODULE_FILE;
    settings.level = 1;
    return tmhost::validate_threads(settings);
}

TEST(ThreadsGroup, ThreadsTheSystemRefusesCutTheCountsAndTheGroupSaysSo) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer stops at a thread stack it cannot shadow, before the system "
                    "refuses one";
#endif
    int to_parent[2];
    ASSERT_EQ(pipe(to_parent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Stacks of 640 MiB each: a 32-bit address space holds no more than a few.
        pthread_attr_t defaults;
        if (pthread_getattr_default_np(&defaults) != 0 ||
            pthread_attr_setstacksize(&defaults, 640u << 20) != 0 ||
            pthread_setattr_default_np(&defaults) != 0)
            _exit(99);
        const GroupVerdict verdict = threads_verdict();
        const std::string line = verdict.line();
        const ssize_t written = write(to_parent[1], line.data(), line.size());
        // The child leaves by _exit, past the hooks that would write its counts.
        tmhost::write_coverage_counts();
        _exit(written == static_cast<ssize_t>(line.size()) ? 0 : 98);
    }
    close(to_parent[1]);
    std::string line;
    char buffer[512];
    ssize_t count;
    while ((count = read(to_parent[0], buffer, sizeof buffer)) > 0) line.append(buffer, count);
    close(to_parent[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the group did not end by itself";
    ASSERT_NE(WEXITSTATUS(status), 99) << "the threads' stack size cannot be set here";
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(line.rfind("pass (", 0), 0u) << line;
    EXPECT_NE(line.find(" threads: the system started no thread "), std::string::npos) << line;
}

}  // namespace

#endif
