// tonemix-host info as scripts compare it: the built module's registration, one node driven
// through the record, and nothing that would differ between two runs or two platforms.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/commands/command.h"
#include "program_run.h"
#include "temporary_folder.h"

namespace {

// In this process, with the module's resources refused: the module does not start, and the
// summary says which steps did not answer as a host expects.
TEST(InfoSummary, AModuleThatDoesNotStartIsAFaultInOneVerdict) {
    tmhost::CommandSettings settings;
    settings.default_module = tonemix_test::module_file();
    settings.prepare_host = [](tmhost::StandInHost& host) { host.fail("resource_load"); };
    const tmhost::CommandOutput output = tmhost::run_info({}, settings);
    EXPECT_EQ(output.status, tmhost::EXIT_FAULT);
    ASSERT_GE(output.lines.size(), 3u);
    std::string text;
    for (const tmhost::OutputLine& line : output.lines) text += line.text + "\n";
    const std::string& verdict = output.lines.back().text;
    EXPECT_EQ(verdict.rfind("lifecycle: not as a host expects: message ", 0), 0u) << text;
    EXPECT_NE(verdict.find("; shader (info -v shows every step)"), std::string::npos) << text;
    EXPECT_EQ(text.find("every step answered"), std::string::npos) << text;
}

// A copy of the module without its res/ folder is a set-up fault a user mends: info says it in
// render's one line with exit 2; -v still reports every step.
TEST(InfoSummary, AModuleWithoutItsResourcesIsOneLineAsInRender) {
    tmhost::TemporaryFolder folder;
    const std::filesystem::path module = folder.path() / "Tonemix.cdl";
    std::filesystem::copy_file(tonemix_test::module_file(), module);
    tmhost::CommandSettings settings;
    settings.default_module = tonemix_test::module_file();
    const tmhost::CommandOutput info = tmhost::run_info({module.string()}, settings);
    const tmhost::CommandOutput render = tmhost::run_render(
        {"--module", module.string(), "-o", (folder.path() / "a.png").string()}, settings);
    EXPECT_EQ(info.status, tmhost::EXIT_USAGE);
    ASSERT_EQ(info.lines.size(), 1u);
    ASSERT_EQ(render.lines.size(), 1u);
    EXPECT_EQ(info.lines[0].channel, tmhost::Channel::error);
    EXPECT_EQ(info.lines[0].text, render.lines[0].text);
    EXPECT_EQ(info.lines[0].text.rfind("resource not loaded: resource folder 'res' not found", 0),
              0u)
        << info.lines[0].text;
    const tmhost::CommandOutput verbose = tmhost::run_info({"-v", module.string()}, settings);
    EXPECT_EQ(verbose.status, tmhost::EXIT_FAULT);
    EXPECT_GT(verbose.lines.size(), 5u);
}

#if defined(__linux__)

using tonemix_test::has_line;
using tonemix_test::host_program;
using tonemix_test::joined;
using tonemix_test::ProgramRun;

// Standard output and standard error together.
ProgramRun run_info(const std::string& arguments) {
    return tonemix_test::run_program("info " + arguments + " 2>&1");
}

std::string quoted_module() { return "'" + tonemix_test::module_file() + "'"; }

class InfoCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(host_program())) GTEST_SKIP() << "tonemix-host not built";
    }
};

TEST_F(InfoCommand, VerboseRunsANodeAndShowsEveryStep) {
    const ProgramRun run = run_info("-v " + quoted_module());
    ASSERT_EQ(run.status, 0) << joined(run);
    for (const char* line : {
             "message 2 (start): 1",
             "shader: plug-in 1007539 \"Tonemix\"",
             "  description: \"Xtonemix\", 11 parameters",
             "    byte 176 compute_output, slot 18: set",
             "    bytes 180-287: zero",
             "  init_defaults: 1",
             "  defaults: as the description gives them",
             "    1013 TONEMIX_JITTER: 0",
             "    1012 TONEMIX_MODE: 1",
             "    node_hook_8: 0",
             "    list handles while shading: 1, after release_render: 0",
             "    asked: light 0 24, light 1 0, light 2 24",
             "  free_node: done",
         }) {
        EXPECT_TRUE(has_line(run, line)) << "missing: " << line << "\n" << joined(run);
    }
    EXPECT_EQ(run.lines.back(), "nothing left behind");
}

TEST_F(InfoCommand, TwoRunsPrintTheSameBytesAndNoAddresses) {
    const ProgramRun first = run_info("--verbose " + quoted_module());
    const ProgramRun second = run_info("--verbose " + quoted_module());
    ASSERT_EQ(first.status, 0) << joined(first);
    EXPECT_EQ(first.lines, second.lines);
    // Addresses differ between runs and platforms; the shader's numbers must not.
    for (std::size_t i = 1; i < first.lines.size(); ++i) {
        EXPECT_EQ(first.lines[i].find("0x"), std::string::npos) << first.lines[i];
    }
}

TEST_F(InfoCommand, PlainInfoIsASummaryOfTheSameRun) {
    const ProgramRun run = run_info(quoted_module());
    ASSERT_EQ(run.status, 0) << joined(run);
    ASSERT_GE(run.lines.size(), 6u) << joined(run);
    EXPECT_EQ(run.lines[0], "module: " + tonemix_test::module_file());
    EXPECT_EQ(run.lines[1], "console:");
    const std::size_t banner = run.lines.size() - 5;  // the console's lines
    for (std::size_t i = 2; i < 2 + banner; ++i) {
        EXPECT_EQ(run.lines[i].rfind("  \"", 0), 0u) << run.lines[i];
    }
    const std::vector<std::string> tail(run.lines.end() - 3, run.lines.end());
    EXPECT_EQ(tail[0].rfind("registration: plug-in 1007539 \"Tonemix\", type ", 0), 0u) << tail[0];
    EXPECT_EQ(tail[1], "nothing left behind");
    EXPECT_EQ(tail[2], "lifecycle: every step answered as a host expects");

    // The same module by --module, and the console the verbose run shows.
    const ProgramRun by_option = run_info("--module " + quoted_module());
    EXPECT_EQ(by_option.status, 0);
    EXPECT_EQ(by_option.lines, run.lines);
    const ProgramRun verbose = run_info("-v --module=" + quoted_module());
    for (std::size_t i = 1; i < 2 + banner; ++i) {
        EXPECT_TRUE(has_line(verbose, run.lines[i])) << run.lines[i];
    }
    EXPECT_FALSE(has_line(run, "message 2 (start): 1"));
}

TEST_F(InfoCommand, HelpIsPrintedNotLoaded) {
    for (const char* help : {"--help", "-h"}) {
        const ProgramRun run =
            tonemix_test::run_program(std::string("info ") + help + " 2>/dev/null");
        EXPECT_EQ(run.status, 0) << help;
        ASSERT_FALSE(run.lines.empty());
        EXPECT_EQ(run.lines[0], "usage: tonemix-host info [MODULE] [--module PATH] [-v]");
        EXPECT_TRUE(has_line(run, "  --module PATH")) << joined(run);
        EXPECT_TRUE(has_line(run, "  -v, --verbose")) << joined(run);
        EXPECT_FALSE(has_line(run, "nothing left behind"));
    }
}

TEST_F(InfoCommand, BadCommandLinesExitWithTwo) {
    const ProgramRun two = run_info("a b");
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.lines,
              std::vector<std::string>{"tonemix-host: more than one module file: 'a' and 'b'"});
    const ProgramRun both = run_info(quoted_module() + " --module " + quoted_module());
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(both.lines.size(), 1u) << joined(both);
    EXPECT_EQ(run_info("--verbos").lines,
              std::vector<std::string>{"tonemix-host: unknown option '--verbos'"});
    EXPECT_EQ(run_info("--module").status, 2);
    const ProgramRun missing = run_info("'/nonexistent/Tonemix.cdl'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_FALSE(has_line(missing, "nothing left behind"));
}

#endif

}  // namespace
