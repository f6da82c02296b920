// tonemix-host info as scripts compare it: the built module's registration, one node driven
// through the record, and nothing that would differ between two runs or two platforms.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/wait.h>
#endif

#include "module_test_support.h"

namespace {

#if defined(__linux__)

struct ProgramRun {
    int status = -1;
    std::vector<std::string> lines;  // standard output and standard error
};

std::filesystem::path host_program() {
    return std::filesystem::path(tonemix_test::module_file()).parent_path() / "tonemix-host";
}

ProgramRun run_info(const std::string& arguments) {
    ProgramRun run;
    const std::string command = "'" + host_program().string() + "' info " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::string line;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        run.lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) run.lines.push_back(line);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool has_line(const ProgramRun& run, const std::string& line) {
    return std::find(run.lines.begin(), run.lines.end(), line) != run.lines.end();
}

std::string joined(const ProgramRun& run) {
    std::string text;
    for (const std::string& line : run.lines) text += line + "\n";
    return text;
}

class InfoCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(host_program())) GTEST_SKIP() << "tonemix-host not built";
    }
};

TEST_F(InfoCommand, TheBuiltModuleRunsANodeAndLeavesNothingBehind) {
    const ProgramRun run = run_info("'" + tonemix_test::module_file() + "'");
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
    const ProgramRun first = run_info("'" + tonemix_test::module_file() + "'");
    const ProgramRun second = run_info("'" + tonemix_test::module_file() + "'");
    ASSERT_EQ(first.status, 0) << joined(first);
    EXPECT_EQ(first.lines, second.lines);
    // Addresses differ between runs and platforms; the shader's numbers must not.
    for (std::size_t i = 1; i < first.lines.size(); ++i) {
        EXPECT_EQ(first.lines[i].find("0x"), std::string::npos) << first.lines[i];
    }
}

TEST_F(InfoCommand, BadCommandLinesExitWithTwo) {
    EXPECT_EQ(run_info("a b").status, 2);
    const ProgramRun missing = run_info("'/nonexistent/Tonemix.cdl'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_FALSE(has_line(missing, "nothing left behind"));
}

#endif

}  // namespace
