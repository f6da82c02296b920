// tonemix-host validate as a user runs it: the real module passes every group, the verdicts go to
// stdout and a JUnit file, and a bad command line or a file that is no module is one error line.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elf_sections.h"
#include "host/image/whole_file.h"
#include "render_test_support.h"
#include "temporary_folder.h"

namespace {

using tonemix_test::CommandRun;

CommandRun validate(const std::vector<std::string>& arguments) {
    return tonemix_test::run_command(tmhost::run_validate, arguments);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        count += 1;
    }
    return count;
}

TEST(ValidateCommand, TheBuiltModulePassesEveryGroup) {
    tmhost::TemporaryFolder folder;
    const std::string junit = (folder.path() / "verdicts.xml").string();
    const CommandRun run = validate({"--level", "1", "--seed", "7", "--junit", junit});
    ASSERT_EQ(run.status, 0) << run.error();
    const std::vector<std::string>& lines = run.report.out_lines;
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines.front().rfind("validate: ", 0), 0u);
    EXPECT_NE(lines.front().find("level 1, seed 7, each group in a child process"),
              std::string::npos)
        << lines.front();
    const char* groups[] = {"lifecycle", "host-faults", "parameters",   "render-records",
                            "threads",   "nodes",       "repeatability"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(lines[i + 1].rfind(std::string(groups[i]) + ": pass", 0), 0u) << lines[i + 1];
    }
    EXPECT_EQ(lines.back(), "7 passed, 0 failed");
    const std::string xml = tmhost::read_file(junit);
    EXPECT_EQ(occurrences(xml, "<testcase "), 7u);
    EXPECT_EQ(occurrences(xml, "<failure"), 0u);
    EXPECT_NE(xml.find("<property name=\"seed\" value=\"7\"/>"), std::string::npos);
}

TEST(ValidateCommand, OnlyRunsTheNamedGroupsInTheirOwnOrder) {
    const CommandRun run = validate(
        {"--only", "repeatability", "--only", "lifecycle", "--level", "1", "--in-process"});
    ASSERT_EQ(run.status, 0) << run.error();
    ASSERT_EQ(run.report.out_lines.size(), 4u);
    EXPECT_NE(run.report.out_lines[0].find(", in this process"), std::string::npos);
    EXPECT_EQ(run.report.out_lines[1].rfind("lifecycle: pass", 0), 0u);
    EXPECT_EQ(run.report.out_lines[2].rfind("repeatability: pass", 0), 0u);
    EXPECT_EQ(run.report.out_lines[3], "2 passed, 0 failed");
}

TEST(ValidateCommand, BadCommandLinesAndFilesAreOneErrorLine) {
    tmhost::TemporaryFolder folder;
    const std::string not_a_module = folder.write("Tonemix.cdl", "not a module").string();
    const struct {
        std::vector<std::string> arguments;
        const char* error_part;
    } cases[] = {
        {{"--only", "everything"}, "--only: no group 'everything' (the groups: lifecycle,"},
        {{"--level", "0"}, "--level"},
        {{"--level", "11"}, "--level"},
        {{"--seed", "-1"}, "--seed: '-1' is not a whole number from 0 to 4294967295"},
        {{"--seed", "4294967296"}, "--seed: '4294967296' is not a whole number"},
        {{"--seed", "12x"}, "--seed: '12x'"},
        {{"--time-limit", "0"}, "--time-limit"},
        {{(folder.path() / "missing.cdl").string()}, "missing.cdl"},
        {{not_a_module}, "Tonemix.cdl"},
        {{not_a_module, "--module", not_a_module}, "the module given twice"},
        {{"--junit"}, "--junit"},
    };
    for (const auto& c : cases) {
        const CommandRun run = validate(c.arguments);
        EXPECT_EQ(run.status, 2) << c.error_part;
        EXPECT_TRUE(run.report.out_lines.empty()) << c.error_part;
        EXPECT_NE(run.error().find(c.error_part), std::string::npos)
            << "expected '" << c.error_part << "' in: " << run.error();
    }
}

TEST(ValidateCommand, AnUnwritableJunitFileIsRefusedBeforeAnyGroupRuns) {
    const CommandRun run = validate(
        {"--only", "lifecycle", "--level", "1", "--junit", "/no/such/folder/verdicts.xml"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.report.out_lines.empty()) << run.report.out_lines.front();
    EXPECT_EQ(run.error(),
              "validate: the JUnit report /no/such/folder/verdicts.xml: cannot write: "
              "No such file or directory");
}

// The parent never loads the module itself: one that crashes as it loads fails lifecycle, the
// other groups say they did not run, and the JUnit report is still written.
TEST(ValidateCommand, AModuleThatCrashesAsItLoadsFailsEveryGroupAndTheReportIsWritten) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows' loader catches the crash: the module is not loadable, the command "
                    "says so";
#endif
    tmhost::TemporaryFolder folder;
    const std::string junit = (folder.path() / "verdicts.xml").string();
    const std::string module =
        std::string(TONEMIX_FAULTY_MODULES) + "/crashes_while_loading/Tonemix.cdl";
    const CommandRun run = validate({module, "--level", "1", "--seed", "1", "--junit", junit});
    EXPECT_EQ(run.status, 1) << run.error();
    ASSERT_EQ(run.report.out_lines.size(), 9u);
    // Crashed, or in the sanitizer build ended by the sanitizer's report.
    const std::string& lifecycle = run.report.out_lines[1];
    EXPECT_EQ(lifecycle.rfind("lifecycle: FAIL: ", 0), 0u) << lifecycle;
    EXPECT_NE(lifecycle.find("during load"), std::string::npos) << lifecycle;
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(lifecycle, "lifecycle: FAIL: crashed during load: signal 11 (Segmentation fault)");
#endif
    for (std::size_t i = 2; i < 8; ++i) {
        EXPECT_NE(run.report.out_lines[i].find(
                      ": FAIL: not run: the module crashed during load (see lifecycle)"),
                  std::string::npos)
            << run.report.out_lines[i];
    }
    EXPECT_EQ(run.report.out_lines[8], "0 passed, 7 failed");
    const std::string report = tmhost::read_file(junit);
    EXPECT_NE(report.find("failures=\"7\""), std::string::npos) << report;
}

// A file the system's loader stops on is not loadable, as a cut file is: one line, exit 2, and
// the loader's own words, never the child's bare exit code.
TEST(ValidateCommand, AFileTheSystemsLoaderStopsOnIsOneLine) {
    tmhost::TemporaryFolder folder;
    const std::string module =
        tonemix_test::module_with_a_wrong_relocation(TONEMIX_MODULE_FILE, folder);
    if (module.empty()) GTEST_SKIP() << "the module's first relocation is not a relative one";
    const CommandRun run = validate({module, "--level", "1", "--seed", "1"});
    EXPECT_EQ(run.status, 2);
    ASSERT_EQ(run.report.errors.size(), 1u);
    EXPECT_EQ(run.error().rfind("not a loadable module: " + module +
                                    " (the system's loader stopped: Inconsistency detected by "
                                    "ld.so: ",
                                0),
              0u)
        << run.error();
}

}  // namespace
