// validate against modules that end the process rather than crash: each group's verdict names
// the ending (an exit with its code, 0 included, an abort, an exception no one caught, a stack
// overflow) with what the module was doing, and where the group was; an ending as the module
// loads or unloads is named for the load or for its destructors, and what the module prints on
// standard output is a failed lifecycle check.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace {

#if defined(__linux__)

std::string faulty_module(const std::string& fault) {
    return std::string(TONEMIX_FAULTY_MODULES) + "/" + fault + "/Tonemix.cdl";
}

// The one group's line of `validate MODULE --only GROUP`, after checking the run around it.
std::string group_line(const std::string& fault, const std::string& group) {
    const tonemix_test::CommandRun run = tonemix_test::run_command(
        tmhost::run_validate,
        {faulty_module(fault), "--level", "1", "--seed", "1", "--only", group});
    EXPECT_EQ(run.status, 1) << fault << ": " << run.error();
    if (run.report.out_lines.size() != 3u) {
        ADD_FAILURE() << fault << ": " << tonemix_test::joined(run.report.out_lines);
        return std::string();
    }
    EXPECT_EQ(run.report.out_lines[2], "0 passed, 1 failed") << fault;
    return run.report.out_lines[1];
}

TEST(ValidateEndings, EachEndingOfAGroupsChildIsNamedWithItsPhase) {
    struct Case {
        const char* fault;
        const char* group;
        const char* line;
    };
    const Case cases[] = {
        {"exits_while_shading", "nodes",
         "nodes: FAIL: the module ended the process (exit 0) while running during cycle 1"},
        {"aborts_while_starting", "nodes", "nodes: FAIL: the module aborted while starting"},
        {"aborts_while_starting", "lifecycle", "lifecycle: FAIL: the module aborted during load 1"},
        {"throws_while_shading", "nodes",
         "nodes: FAIL: the module threw an exception no one caught while running during cycle 1"},
#if !defined(__SANITIZE_ADDRESS__)
        // The sanitizer build reports an overflow itself.
        {"overflows_stack_while_shading", "nodes",
         "nodes: FAIL: the module overflowed its stack while running during cycle 1"},
#endif
        // In a group's child the module's own handler takes its crash, and its exit is named.
        {"own_crash_handler", "nodes",
         "nodes: FAIL: the module ended the process (exit 77) during cycle 1"},
    };
    for (const Case& ending : cases) {
        EXPECT_EQ(group_line(ending.fault, ending.group), ending.line);
    }
}

TEST(ValidateEndings, AnEndingAsTheModuleLoadsOrUnloadsIsNamedForTheLoadOrItsDestructors) {
    struct Case {
        const char* fault;
        const char* lifecycle;
        const char* others;
    };
    const Case cases[] = {
        {"exits_while_loading",
         "lifecycle: FAIL: the module ended the process (exit 0) during load",
         ": FAIL: not run: the module ended the process during load (see lifecycle)"},
        {"exits_while_unloading",
         "lifecycle: FAIL: the module ended the process (exit 5) during unload (the module's "
         "destructors)",
         ": FAIL: not run: the module ended the process during unload (the module's destructors) "
         "(see lifecycle)"},
    };
    for (const Case& ending : cases) {
        SCOPED_TRACE(ending.fault);
        const tonemix_test::CommandRun run = tonemix_test::run_command(
            tmhost::run_validate, {faulty_module(ending.fault), "--level", "1", "--seed", "1"});
        EXPECT_EQ(run.status, 1) << run.error();
        ASSERT_EQ(run.report.out_lines.size(), 9u);
        EXPECT_EQ(run.report.out_lines[1], ending.lifecycle);
        for (std::size_t i = 2; i < 8; ++i) {
            const std::string& line = run.report.out_lines[i];
            EXPECT_EQ(line.substr(line.find(':')), ending.others) << line;
        }
        EXPECT_EQ(run.report.out_lines[8], "0 passed, 7 failed");
    }
}

TEST(ValidateEndings, WhatTheModulePrintsOnStandardOutputFailsTheLifecycle) {
    EXPECT_EQ(group_line("prints_on_standard_output", "lifecycle"),
              "lifecycle: FAIL: the module wrote 24 bytes to standard output");
    // The real module prints nothing there (validate_command_test.cpp: every group passes).
}

#endif

}  // namespace
