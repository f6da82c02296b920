// The groups against a node that answers what the boundary does not allow (the faulty module
// misanswers_as_told, its answer chosen through the environment): each group that asks the node
// that question fails, and its first failure names the entry, the answer and the case.
#include <cstdlib>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "host/loading/module_session.h"
#include "host/validate/group_support.h"
#include "host/validate/isolated_run.h"
#include "host/validate/validation.h"

namespace {

using tmhost::GroupVerdict;

// The group, in this process, at the lowest level, against the module told `fault`.
GroupVerdict told(const char* fault, const char* group_name) {
    const tmhost::ValidationGroup* group = tmhost::find_group(group_name);
    if (group == nullptr) return GroupVerdict{};
    tmhost::ValidationSettings settings;
    settings.module_path = std::string(TONEMIX_FAULTY_MODULES) + "/misanswers_as_told/Tonemix.cdl";
    settings.level = 1;
    settings.seed = 1;
    setenv("TONEMIX_TOLD_FAULT", fault, 1);
    GroupVerdict verdict = tmhost::run_in_process(*group, settings);
    unsetenv("TONEMIX_TOLD_FAULT");
    return verdict;
}

// The first failure: the whole line, or, where the line begins with the case's many values, how
// it begins and how it ends.
struct Expected {
    const char* fault;
    const char* begins;
    const char* ends = nullptr;
};

void expect_first_failures(const char* group, std::initializer_list<Expected> cases) {
    for (const Expected& c : cases) {
        const GroupVerdict verdict = told(c.fault, group);
        EXPECT_FALSE(verdict.passed) << c.fault << " in " << group;
        ASSERT_FALSE(verdict.failures.empty()) << c.fault << " in " << group;
        const std::string& first = verdict.failures.front();
        if (c.ends == nullptr) {
            EXPECT_EQ(first, c.begins) << c.fault << " in " << group;
            continue;
        }
        const std::string ends = c.ends;
        EXPECT_EQ(first.rfind(c.begins, 0), 0u) << c.fault << " in " << group << ": " << first;
        EXPECT_TRUE(first.size() >= ends.size() &&
                    first.compare(first.size() - ends.size(), ends.size(), ends) == 0)
            << c.fault << " in " << group << ": " << first;
    }
}

TEST(NodeAnswers, TheNodesGroupNamesEachEntryThatAnswersWrong) {
    expect_first_failures(
        "nodes",
        {{"no-node", "cycle 1: create answered no node"},
         {"null-entries", "cycle 1: the record's is_parameter_enabled entry is null"},
         {"pops-wrong", "cycle 1: node_hook_2 popped 8 bytes of arguments, 4 expected"},
         {"defaults-zero", "cycle 1: init_defaults answered 0"},
         {"enabled-two", "cycle 1: is_parameter_enabled answered 2 for TONEMIX_SAMPLES"},
         {"prepare-one", "cycle 1: prepare_render answered 1"},
         // Only the 64 nodes at once, after the first 500 cycles, are more than 32.
         {"runs-out", "cycle 500: node 33 of 64 was not made"},
         {"lists-nothing", "cycle 1: prepare_render built no light list from a list of one light"},
         {"other-place", "cycle 1: compute_output answered another place than its colour's"},
         {"shades-nan", "cycle 1: shaded (nan, nan, nan)"}});
}

TEST(NodeAnswers, TheParametersGroupNamesTheAnswerWithTheContainerThatGotIt) {
    expect_first_failures(
        "parameters",
        {{"no-node", "case 1: create answered no node"},
         {"keeps-nodes", "case 1: the node's memory was not given back (3 blocks live, 2 before)"},
         {"enabled-two", "case 1 [1009 long 1, ", "]: is_parameter_enabled(0) answered 2"},
         {"prepare-one", "case 1 [1009 long 1, ", "]: prepare_render answered 1"},
         // The first release, with the defaults, ends its list: the values are to blame.
         {"drops-lists", "case ", "]: release_render left 1 light lists"},
         {"shades-nan", "case 1 [1009 long 1, ", "]: shaded (nan, nan, nan)"}});
}

TEST(NodeAnswers, TheRenderRecordsGroupNamesTheColourAndTheContextHandedOn) {
    expect_first_failures(
        "render-records",
        {{"no-node", "case 1 (point (", "): create answered no node"},
         // A point without a context must come out white; the first case without one is case 2.
         {"shades-nan",
          "case 2 (null context): shaded (nan, nan, nan) without a context, white "
          "expected"},
         {"copied-context", "case 1 (point (",
          "): render_light_count got another context than the point's"}});
    const GroupVerdict nan = told("shades-nan", "render-records");
    ASSERT_GE(nan.failures.size(), 2u);
    const std::string& second = nan.failures[1];
    EXPECT_EQ(second.rfind("case 9 (point (", 0), 0u) << second;
    EXPECT_NE(second.find("): shaded (nan, nan, nan) from finite light"), std::string::npos)
        << second;
}

TEST(NodeAnswers, RepeatedDrawsAndDriftingColoursAreNamed) {
    expect_first_failures(
        "repeatability",
        {{"constant",
          "a second render without a new prepare_render repeated the first one's draws"},
         {"drifts", "after a second prepare_render: point 0,0 differs from the first render"}});
    expect_first_failures(
        "threads", {{"drifts",
                     "8 samples, gaussian, 2 threads x 93 calls: 186 colours of one thread "
                     "missing, 186 colours one thread never gives (calls' draws interleaved or "
                     "torn)"}});
}

TEST(NodeAnswers, AParameterTheDescriptionLacksIsNamedWithTheDescription) {
    tmhost::ValidationSettings settings;
    settings.module_path = TONEMIX_MODULE_FILE;
    const auto session = tmhost::start_module(settings);
    const tmhost::Description& description = session->description();
    EXPECT_GT(tmhost::parameter_id(description, "samples"), 0);
    try {
        tmhost::parameter_id(description, "brightness");
        ADD_FAILURE() << "a parameter the description lacks was given an id";
    } catch (const tmhost::ModuleError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "the description " + description.name() + " has no parameter \"brightness\"");
    }
    session->finish();
}

}  // namespace
