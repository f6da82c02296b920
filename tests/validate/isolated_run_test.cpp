// What a group's child tells its parent besides the verdict: the last progress note, which names
// the case a crash or a hang came in, and, for a child started to write its verdict to a file,
// that file as the parent reads it.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "host/validate/isolated_run.h"
#include "host/validate/validation.h"
#include "temporary_folder.h"

namespace {

using tmhost::GroupVerdict;
using tmhost::ValidationSettings;

GroupVerdict crashing_in_case_12(const ValidationSettings&) {
    tmhost::note_progress("case 11");
    tmhost::note_progress("case 12 (null context)");
    // The sanitizer build's own handler would turn the signal into an exit.
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    return GroupVerdict{};
}

GroupVerdict hanging_in_cycle_3(const ValidationSettings&) {
    tmhost::note_progress("cycle 3");
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

GroupVerdict failing_over_lines(const ValidationSettings&) {
    GroupVerdict verdict;
    verdict.passed = false;
    verdict.counts = "2 loads\r\n1 node";
    verdict.failures = {"load 1:\r\nleft a string", "load 2"};
    return verdict;
}

std::string first_failure(const GroupVerdict& verdict) {
    return verdict.failures.empty() ? std::string() : verdict.failures.front();
}

TEST(ValidateIsolationNotes, ACrashOrAHangIsToldWithTheLastCaseBegun) {
    const tmhost::ValidationGroup crashing = {"test", "a test group", crashing_in_case_12};
    const std::string crashed = first_failure(tmhost::run_isolated(crashing, {}, 30));
    EXPECT_EQ(crashed.rfind("crashed: signal 11 (", 0), 0u) << crashed;
    const std::string during = ") during case 12 (null context)";
    ASSERT_GE(crashed.size(), during.size()) << crashed;
    EXPECT_EQ(crashed.substr(crashed.size() - during.size()), during) << crashed;

    const tmhost::ValidationGroup hanging = {"test", "a test group", hanging_in_cycle_3};
    EXPECT_EQ(first_failure(tmhost::run_isolated(hanging, {}, 1)),
              "hung: no verdict within the time limit of 1 s (the module hung or ran far too "
              "slowly) during cycle 3");
}

TEST(ValidateIsolationNotes, AChildForItsParentWritesItsVerdictOnLinesOfItsOwn) {
    tmhost::TemporaryFolder folder;
    const std::string file = (folder.path() / "verdict").string();
    const tmhost::ValidationGroup group = {"test", "a test group", failing_over_lines};
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        tmhost::run_for_parent(group, ValidationSettings{}, file);
        _exit(99);  // run_for_parent ends the process itself
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(
        text,
        "fail\ncounts 2 loads  1 node\nfailure load 1:  left a string\nfailure load 2\nend\n");
    const GroupVerdict read = tmhost::verdict_from_text(text);
    EXPECT_FALSE(read.passed);
    EXPECT_EQ(read.line(), "FAIL: load 1:  left a string; load 2");
}

}  // namespace
