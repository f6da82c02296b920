// What a group's findings become in its line: counts in the order first named, the machine's
// limits after them, the first failures word for word and the rest counted, and a failed verdict
// that brings no reason still saying it failed.
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/validate/group_support.h"
#include "host/validate/validation.h"

namespace {

using tmhost::Findings;
using tmhost::GroupVerdict;

TEST(Findings, CountsAddUpUnderTheirFirstNameAndLimitsComeAfterThem) {
    Findings findings;
    EXPECT_EQ(findings.counted("loads"), 0);
    findings.count("sequences", 40);
    findings.count("loads");
    findings.count("sequences", 2);
    EXPECT_EQ(findings.counted("sequences"), 42);
    EXPECT_EQ(findings.counted("loads"), 1);
    EXPECT_EQ(findings.counted("threads"), 0);
    findings.limit("at most 8 threads under emulation");
    findings.limit("no second load");
    const GroupVerdict verdict = findings.verdict();
    EXPECT_TRUE(verdict.passed);
    EXPECT_EQ(verdict.line(),
              "pass (42 sequences, 1 loads; at most 8 threads under emulation; no second load)");
}

TEST(Findings, ALimitAloneStandsInTheParentheses) {
    Findings findings;
    findings.limit("at most 2 threads: the system started no thread 3 of 4 (Resource busy)");
    EXPECT_EQ(findings.verdict().line(),
              "pass (at most 2 threads: the system started no thread 3 of 4 (Resource busy))");
    EXPECT_EQ(Findings().verdict().line(), "pass");
}

TEST(Findings, TheFirstFailuresAreKeptAndTheRestCounted) {
    Findings findings;
    findings.count("cycles", 3);
    const long total = static_cast<long>(Findings::kKept) + 3;
    for (long i = 1; i <= total; ++i) findings.fail("cycle " + std::to_string(i));
    EXPECT_TRUE(findings.failed());
    EXPECT_EQ(findings.failure_count(), total);
    const GroupVerdict verdict = findings.verdict();
    EXPECT_FALSE(verdict.passed);
    ASSERT_EQ(verdict.failures.size(), Findings::kKept + 1);
    EXPECT_EQ(verdict.failures.front(), "cycle 1");
    EXPECT_EQ(verdict.failures[Findings::kKept - 1], "cycle 12");
    EXPECT_EQ(verdict.failures.back(), "and 3 more");
    EXPECT_EQ(verdict.counts, "3 cycles");
    EXPECT_EQ(verdict.line().rfind("FAIL: cycle 1; cycle 2; ", 0), 0u) << verdict.line();
    EXPECT_NE(verdict.line().find("; cycle 12; and 3 more"), std::string::npos) << verdict.line();
}

TEST(Findings, AFailedVerdictWithoutReasonsSaysSo) {
    GroupVerdict verdict;
    verdict.passed = false;
    EXPECT_EQ(verdict.line(), "FAIL: no reason given");
    verdict.counts = "5 loads";
    EXPECT_EQ(verdict.line(), "FAIL: no reason given");
}

TEST(Findings, TheColourTextAndItsChecks) {
    const float grey[3] = {0.5f, 0.25f, 0.0f};
    EXPECT_TRUE(tmhost::finite_colour(grey));
    const float below[3] = {0.5f, -0.0625f, 0.0f};
    EXPECT_FALSE(tmhost::finite_colour(below));
    EXPECT_TRUE(tmhost::finite_colour(below, false));
    const float infinite[3] = {0.0f, 0.0f, std::numeric_limits<float>::infinity()};
    EXPECT_FALSE(tmhost::finite_colour(infinite, false));
    EXPECT_EQ(tmhost::colour_text(below), "(0.5, -0.0625, 0)");
    EXPECT_EQ(tmhost::colour_text(infinite), "(0, 0, inf)");
}

}  // namespace
