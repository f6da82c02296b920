// The validator's own machinery: a group that crashes, aborts, exits, throws or hangs in its
// child process fails alone with the reason; verdicts cross from child to parent intact; the JUnit
// report is well formed whatever the texts hold.
#include <climits>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host/loading/module_session.h"
#include "host/validate/group_support.h"
#include "host/validate/isolated_run.h"
#include "host/validate/junit_report.h"
#include "host/validate/validation.h"

namespace {

using tmhost::GroupVerdict;
using tmhost::ValidationGroup;
using tmhost::ValidationSettings;

GroupVerdict passing(const ValidationSettings&) {
    GroupVerdict verdict;
    verdict.counts = "3 things";
    return verdict;
}
GroupVerdict crashing(const ValidationSettings&) {
    // The sanitizer build's own handler would turn the signal into an exit.
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    return GroupVerdict{};
}
GroupVerdict aborting(const ValidationSettings&) { std::abort(); }
GroupVerdict exiting(const ValidationSettings&) { std::exit(3); }
GroupVerdict exiting_cleanly(const ValidationSettings&) { std::exit(0); }
GroupVerdict exiting_at_once(const ValidationSettings&) { std::_Exit(0); }
GroupVerdict throwing_on_a_thread(const ValidationSettings&) {
    std::thread thread([] { throw std::runtime_error("no one catches this"); });
    thread.join();
    return GroupVerdict{};
}
#if !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
volatile int deepest = INT_MAX;  // further than any stack reaches
__attribute__((noinline)) int recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == deepest) return frame[0];
    return recurse(depth + 1) + frame[0];
}
GroupVerdict overflowing(const ValidationSettings&) {
    GroupVerdict verdict;
    verdict.counts = std::to_string(recurse(0));
    return verdict;
}
#endif
GroupVerdict throwing(const ValidationSettings&) { throw std::runtime_error("out of cheese"); }
GroupVerdict refusing_module(const ValidationSettings&) {
    throw tmhost::ModuleError("the module registered no shader with id 1007539");
}
GroupVerdict hanging(const ValidationSettings&) {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
GroupVerdict failing_with_newlines(const ValidationSettings&) {
    GroupVerdict verdict;
    verdict.passed = false;
    verdict.failures = {"first\nline", "second"};
    return verdict;
}

GroupVerdict isolated(GroupVerdict (*run)(const ValidationSettings&), int limit = 30) {
    const ValidationGroup group = {"test", "a test group", run};
    return tmhost::run_isolated(group, ValidationSettings{}, limit);
}

// A group in a child process. On Windows the child is this program started again with the
// validate command's own line, which only tonemix-host answers (there the groups are checked
// through it, by the wine checks against the faulty modules).
class ValidateIsolation : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << "a Windows child is the program started again, and a test program knows "
                        "no validate command";
#endif
    }
};

std::string first_failure(const GroupVerdict& verdict) {
    return verdict.failures.empty() ? std::string() : verdict.failures.front();
}

TEST_F(ValidateIsolation, AGroupThatEndsItsProcessFailsWithTheReason) {
    const GroupVerdict crashed = isolated(crashing);
    EXPECT_FALSE(crashed.passed);
    EXPECT_EQ(first_failure(crashed).rfind("crashed: signal 11 (", 0), 0u)
        << first_failure(crashed);

    const GroupVerdict aborted = isolated(aborting);
    EXPECT_FALSE(aborted.passed);
    EXPECT_EQ(first_failure(aborted), "the module aborted");

    const GroupVerdict exited = isolated(exiting);
    EXPECT_FALSE(exited.passed);
    EXPECT_EQ(first_failure(exited), "the module ended the process (exit 3)");
    // An exit with the code of a success before the verdict is no success.
    EXPECT_EQ(first_failure(isolated(exiting_cleanly)), "the module ended the process (exit 0)");
    EXPECT_EQ(first_failure(isolated(exiting_at_once)), "the module ended the process (exit 0)");

    EXPECT_EQ(first_failure(isolated(throwing_on_a_thread)),
              "the module threw an exception no one caught");
#if !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
    // The sanitizer build reports the overflow itself; a Windows child's end is its exit code.
    EXPECT_EQ(first_failure(isolated(overflowing)), "the module overflowed its stack");
#endif
}

// A parent that ignores SIGCHLD would have the system reap the child unasked: its end must still
// be read.
#if !defined(_WIN32)
TEST_F(ValidateIsolation, AnIgnoredChildSignalDoesNotHideTheEnd) {
    struct sigaction earlier {};
    struct sigaction ignored {};
    ignored.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignored, &earlier);
    EXPECT_EQ(first_failure(isolated(crashing)).rfind("crashed: signal 11 (", 0), 0u);
    EXPECT_EQ(first_failure(isolated(exiting)), "the module ended the process (exit 3)");
    sigaction(SIGCHLD, &earlier, nullptr);
}
#endif

TEST_F(ValidateIsolation, AHangingGroupIsStoppedAtItsTimeLimit) {
    const GroupVerdict hung = isolated(hanging, 1);
    EXPECT_FALSE(hung.passed);
    EXPECT_EQ(
        first_failure(hung),
        "hung: no verdict within the time limit of 1 s (the module hung or ran far too slowly)");
}

TEST_F(ValidateIsolation, VerdictsCrossFromTheChildIntact) {
    const GroupVerdict passed = isolated(passing);
    EXPECT_TRUE(passed.passed);
    EXPECT_EQ(passed.counts, "3 things");
    EXPECT_EQ(passed.line(), "pass (3 things)");

    const GroupVerdict failed = isolated(failing_with_newlines);
    EXPECT_FALSE(failed.passed);
    EXPECT_EQ(failed.line(), "FAIL: first line; second");

    EXPECT_EQ(first_failure(isolated(throwing)), "the group stopped: out of cheese");
    EXPECT_EQ(first_failure(isolated(refusing_module)),
              "the module cannot be driven: the module registered no shader with id 1007539");
}

TEST_F(ValidateIsolation, TextThatIsNoVerdictIsAFailure) {
    EXPECT_EQ(first_failure(tmhost::verdict_from_text("")), "the child process gave no verdict");
    EXPECT_EQ(first_failure(tmhost::verdict_from_text("maybe\nend\n")),
              "the child process gave no verdict");
    // A child killed half-way through writing.
    EXPECT_EQ(first_failure(tmhost::verdict_from_text("pass\ncounts 3 things\n")),
              "the child process's verdict was cut short");
}

TEST(ValidateFindings, KeepTheFirstFailuresAndCountTheRest) {
    tmhost::Findings findings;
    findings.count("loads", 2);
    findings.count("messages", 10);
    findings.count("loads");
    EXPECT_EQ(findings.verdict().line(), "pass (3 loads, 10 messages)");
    for (int i = 0; i < 15; ++i) findings.fail("fault " + std::to_string(i));
    const GroupVerdict verdict = findings.verdict();
    EXPECT_FALSE(verdict.passed);
    ASSERT_EQ(verdict.failures.size(), tmhost::Findings::kKept + 1);
    EXPECT_EQ(verdict.failures.front(), "fault 0");
    EXPECT_EQ(verdict.failures.back(), "and 3 more");
}

TEST(ValidateLevels, CountsDoubleWithEachLevelAndNeverReachZero) {
    ValidationSettings settings;
    const long expected[] = {1, 1, 2, 5, 10, 20, 40, 80, 160, 320};
    for (int level = 1; level <= 10; ++level) {
        settings.level = level;
        EXPECT_EQ(tmhost::scaled(settings, 10), expected[level - 1]) << "level " << level;
    }
}

TEST(ValidateJunit, TheReportEscapesEveryTextAndCountsFailures) {
    ValidationSettings settings;
    settings.module_path = "/a/<odd> & \"quoted\" path";
    settings.level = 3;
    settings.seed = 42;
    tmhost::GroupResult good;
    good.name = "lifecycle";
    good.verdict.counts = "1 load";
    good.seconds = 0.25;
    tmhost::GroupResult bad;
    bad.name = "nodes";
    bad.verdict.passed = false;
    bad.verdict.failures = {"left <3> & 'more'\x01"};
    const std::string xml = tmhost::junit_xml({good, bad}, settings);
    EXPECT_NE(xml.find("<testsuite name=\"tonemix-host validate\" tests=\"2\" failures=\"1\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("value=\"/a/&lt;odd&gt; &amp; &quot;quoted&quot; path\""),
              std::string::npos);
    EXPECT_NE(xml.find("<property name=\"seed\" value=\"42\"/>"), std::string::npos);
    EXPECT_NE(xml.find("<testcase classname=\"validate\" name=\"lifecycle\" time=\"0.250\">"),
              std::string::npos);
    EXPECT_NE(xml.find("<failure message=\"left &lt;3&gt; &amp; &apos;more&apos;\\x01\">"),
              std::string::npos)
        << xml;
    // Nothing raw may remain between the tags.
    EXPECT_EQ(xml.find("<3>"), std::string::npos);
    EXPECT_EQ(xml.find('\x01'), std::string::npos);
}

}  // namespace
