// The one line a module's failure is told in: a crash of each kind, an end of each kind and a
// trial load that went wrong. Users and scripts match these words, so they are pinned exactly.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>

#include "host/loading/crash_report.h"
#include "host/loading/module_endings.h"
#include "host/loading/trial_load.h"

namespace {

using tmhost::Ending;
using tmhost::TrialLoad;
using Outcome = TrialLoad::Outcome;

const std::string kShows = "; `tonemix-host validate M.cdl` shows where";

// The Windows names are looked up on every system: validate's groups read a child's code alike.
TEST(FailureLines, EachKnownExceptionCodeHasItsNameAndOthersNone) {
    const std::pair<unsigned long, const char*> named[] = {
        {0xC0000005, "access violation"},       {0xC0000006, "page error"},
        {0xC000001D, "illegal instruction"},    {0xC0000094, "integer division by zero"},
        {0xC0000096, "privileged instruction"}, {0xC00000FD, "stack overflow"},
        {0xC0000409, "stack buffer overrun"},
    };
    for (const auto& [code, name] : named) {
        ASSERT_NE(tmhost::exception_name(code), nullptr) << code;
        EXPECT_STREQ(tmhost::exception_name(code), name);
    }
    for (unsigned long code : {0ul, 0xC0000004ul, 0xC0000007ul, 0xE06D7363ul, 11ul})
        EXPECT_EQ(tmhost::exception_name(code), nullptr) << code;
}

TEST(FailureLines, ACrashOfNoKnownKindIsToldWithoutOne) {
    EXPECT_EQ(tmhost::crash_text("M.cdl", 0), "the module crashed while loading" + kShows);
    EXPECT_EQ(tmhost::crash_line("M.cdl", 0, "shading"),
              "tonemix-host: the module crashed while shading" + kShows);
}

#ifndef _WIN32
TEST(FailureLines, EachCrashSignalIsNamedAndAnyOtherGivenByNumber) {
    EXPECT_EQ(tmhost::crash_text("M.cdl", SIGSEGV, "shading"),
              "the module crashed while shading (signal 11, segmentation fault)" + kShows);
    EXPECT_EQ(tmhost::crash_text("M.cdl", SIGILL),
              "the module crashed while loading (signal 4, illegal instruction)" + kShows);
    EXPECT_EQ(tmhost::crash_text("M.cdl", SIGBUS, "ending"),
              "the module crashed while ending (signal 7, bus error)" + kShows);
    EXPECT_EQ(
        tmhost::crash_line("M.cdl", SIGFPE, "running"),
        "tonemix-host: the module crashed while running (signal 8, arithmetic exception)" + kShows);
    // A trial's child may end by any signal, named by the host or not.
    EXPECT_EQ(tmhost::crash_text("M.cdl", SIGTRAP, "unloading"),
              "the module crashed while unloading (signal 5)" + kShows);
}
#endif

TEST(FailureLines, EachEndingIsToldWithItsPhase) {
    EXPECT_EQ(tmhost::ending_text(Ending::exited, "shading", 0),
              "the module ended the process (exit 0) while shading");
    EXPECT_EQ(tmhost::ending_text(Ending::exited, "loading", 255),
              "the module ended the process (exit 255) while loading");
    // A code that cannot be learnt is not made up.
    EXPECT_EQ(tmhost::ending_text(Ending::exited, "ending"),
              "the module ended the process while ending");
    EXPECT_EQ(tmhost::ending_text(Ending::aborted, "running", 3),
              "the module aborted while running");
    EXPECT_EQ(tmhost::ending_text(Ending::uncaught_exception, "shading"),
              "the module threw an exception no one caught while shading");
    EXPECT_EQ(tmhost::ending_text(Ending::stack_overflow, "loading"),
              "the module overflowed its stack while loading");
}

TrialLoad trial(Outcome outcome, int exit_code = 0, const std::string& message = "") {
    TrialLoad out;
    out.outcome = outcome;
    out.exit_code = exit_code;
    out.message = message;
    return out;
}

// Only the loader's own stop (exit 127 with its words) is quoted as the loader's; any other
// code, or 127 with nothing said, is an end with its code.
TEST(FailureLines, ATrialLoadThatWentWrongIsOneLineOfItsKind) {
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", trial(Outcome::loader_stopped, 127, "words")),
              "not a loadable module: M.cdl (the system's loader stopped: words)");
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", trial(Outcome::loader_stopped, 127)),
              "not a loadable module: M.cdl (loading it ended the process with exit code 127)");
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", trial(Outcome::loader_stopped, 1, "a line")),
              "not a loadable module: M.cdl (loading it ended the process with exit code 1: "
              "a line)");
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", trial(Outcome::not_finished)),
              "not a loadable module: M.cdl (still loading after 60 s)");
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", trial(Outcome::no_entry)),
              "not a module of this host (no c4d_main): M.cdl");
    TrialLoad unloading = trial(Outcome::ended, 5);
    unloading.phase = "unloading";
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", unloading),
              "the module ended the process (exit 5) while unloading");
    TrialLoad crashed = trial(Outcome::crashed);
    crashed.signal = 0;
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", crashed),
              "the module crashed while loading" + kShows);
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", trial(Outcome::passed)), "");
    EXPECT_EQ(tmhost::trial_load_problem("M.cdl", trial(Outcome::not_tried)), "");
}

}  // namespace
