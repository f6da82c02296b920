// Help as the program prints it: every command's options with their values, from the same table
// the command parses, in 80 columns; and the program's own usage.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/commands/command.h"
#include "host/commands/text_table.h"
#include "program_run.h"

namespace {

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& given : lines) {
        if (given == line) return true;
    }
    return false;
}

std::string text_of(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

TEST(CommandHelp, TextWrapsAtSpacesWithinTheWidth) {
    using tmhost::wrap_text;
    EXPECT_TRUE(wrap_text("", 4).empty());
    EXPECT_TRUE(wrap_text("   ", 4).empty());
    EXPECT_EQ(wrap_text("aa bb  cc", 2, 8), (std::vector<std::string>{"  aa bb", "  cc"}));
    // A line of exactly the width stays whole; one more column moves the last word.
    EXPECT_EQ(wrap_text("abc def", 1, 8), (std::vector<std::string>{" abc def"}));
    EXPECT_EQ(wrap_text("abc defg", 1, 8), (std::vector<std::string>{" abc", " defg"}));
    // A word longer than a line stands alone rather than being cut.
    EXPECT_EQ(wrap_text("a abcdefghij b", 0, 5),
              (std::vector<std::string>{"a", "abcdefghij", "b"}));
}

TEST(CommandHelp, AnOptionShowsItsValueAndWhatItTakes) {
    using tmhost::OptionRule;
    const OptionRule output = OptionRule::valued("--output", "FILE", "the image")
                                  .with_alias("-o")
                                  .with_values("default: x.png");
    EXPECT_EQ(tmhost::option_synopsis(output), "[-o FILE]");
    EXPECT_EQ(tmhost::option_help(output),
              (std::vector<std::string>{"  -o, --output FILE", "      the image; default: x.png"}));
    const OptionRule set = OptionRule::valued("--set", nullptr, "a value").repeated();
    EXPECT_EQ(tmhost::option_synopsis(set), "[--set VALUE]...");
    EXPECT_EQ(tmhost::option_help(set),
              (std::vector<std::string>{"  --set VALUE", "      a value; may be repeated"}));
    const OptionRule flag = OptionRule::flag("--flag", nullptr);
    EXPECT_EQ(tmhost::option_synopsis(flag), "[--flag]");
    EXPECT_EQ(tmhost::option_help(flag), std::vector<std::string>{"  --flag"});
}

TEST(CommandHelp, RenderListsEveryOptionWithItsRangeAndDefault) {
    const std::vector<std::string> lines = tmhost::usage_lines("render");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("usage: tonemix-host render [SCENE] [-o FILE] [--width W]", 0), 0u);
    for (const char* line : {
             "  -o, --output FILE",
             "      the image file; .png (8-bit), .pfm or .exr (floats) by the extension in",
             "      any letter case, or - for standard output; default: tonemix.png",
             "  --format TYPE",
             "      the image's type; png, pfm or exr; needed for -o -; default: the type of",
             "  --width W",
             "      the image's width in pixels; 1 to 16384, at most 16777216 pixels in all;",
             "      default: the scene's, or in its shape with the other side",
             "  --height H",
             "  --set NAME=VALUE",
             "  --lanes K",
             "      shade in K lanes, each a node of its own with a seed of its own; 1 to 64;",
             "      default: 64; not with --shared-node",
             "  --threads N",
             "      shade with N threads; 1 to 64; default: the machine's cores, at most 64",
             "  --shared-node",
             "  --module PATH",
             "      the module file; default: Tonemix.cdl beside this program or in Tonemix/",
             "      beside it",
             "  --trust-description",
             "  -h, --help",
         }) {
        EXPECT_TRUE(contains(lines, line)) << "missing: " << line << "\n" << text_of(lines);
    }
}

TEST(CommandHelp, SheetTellsTheSizeOptionsSetEachTileAndHowToVary) {
    const std::vector<std::string> lines = tmhost::usage_lines("sheet");
    for (const char* line : {
             "      the image file; .png (8-bit), .pfm or .exr (floats) by the extension in",
             "      any letter case, or - for standard output; default: tonemix-sheet.png",
             "  --width W",
             "      each tile's width in pixels; 1 to 16384, at most 16777216 pixels in all;",
             "  --vary NAME=VALUE,...",
             "      render one tile per value of the parameter NAME; a value as --set takes",
         }) {
        EXPECT_TRUE(contains(lines, line)) << "missing: " << line << "\n" << text_of(lines);
    }
}

TEST(CommandHelp, EveryCommandShowsEveryOptionItParsesIn80Columns) {
    ASSERT_EQ(tmhost::commands().size(), 7u);
    for (const tmhost::Command& command : tmhost::commands()) {
        const std::vector<std::string> lines = tmhost::usage_lines(command.name);
        ASSERT_FALSE(lines.empty()) << command.name;
        EXPECT_EQ(lines[0].rfind(std::string("usage: tonemix-host ") + command.name + " ", 0), 0u);
        for (const std::string& line : lines) {
            EXPECT_LE(line.size(), 80u) << command.name << ": " << line;
        }
        // The parser's table and the help's are one: each option has its own line.
        for (const tmhost::OptionRule& rule : command.options()) {
            bool found = false;
            for (const std::string& line : lines) {
                const std::size_t at = line.find(rule.name);
                found = found || (line.rfind("  -", 0) == 0 && at != std::string::npos && at <= 6);
            }
            EXPECT_TRUE(found) << command.name << " " << rule.name << "\n" << text_of(lines);
            EXPECT_NE(rule.help, nullptr) << command.name << " " << rule.name;
        }
        // --help answers the help, cleanly, without loading a module.
        tmhost::CommandSettings settings;
        settings.default_module = "/nonexistent/Tonemix.cdl";
        const tmhost::CommandOutput output = tmhost::run_command(command, {"--help"}, settings);
        EXPECT_EQ(output.status, tmhost::EXIT_CLEAN) << command.name;
        ASSERT_EQ(output.lines.size(), lines.size()) << command.name;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(output.lines[i].channel, tmhost::Channel::out);
            EXPECT_EQ(output.lines[i].text, lines[i]);
        }
    }
    EXPECT_TRUE(tmhost::usage_lines("nothing").empty());
}

TEST(CommandHelp, DescribeAndInfoListTheirOwnOptions) {
    const std::vector<std::string> describe = tmhost::usage_lines("describe");
    // Options that would pass column 80 go on the next line, under the first.
    EXPECT_EQ(describe[0],
              "usage: tonemix-host describe [SCENE] [--set NAME=VALUE]... [--json] [--up AXIS]");
    EXPECT_EQ(describe[1], "                             [--camera-index N] [--module PATH]");
    EXPECT_TRUE(contains(describe, "  --json"));
    EXPECT_FALSE(contains(describe, "  --lanes K"));
    const std::vector<std::string> info = tmhost::usage_lines("info");
    EXPECT_TRUE(contains(info, "  -v, --verbose"));
    EXPECT_FALSE(contains(info, "  --set NAME=VALUE"));
}

#if defined(__linux__)

class ProgramHelp : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(tonemix_test::host_program())) {
            GTEST_SKIP() << "tonemix-host not built";
        }
    }
};

TEST_F(ProgramHelp, AskedForUsageGoesToStdoutAndExitsZero) {
    for (const char* help : {"--help", "-h", "help"}) {
        const tonemix_test::ProgramRun run =
            tonemix_test::run_program(std::string(help) + " 2>/dev/null");
        EXPECT_EQ(run.status, 0) << help;
        EXPECT_EQ(run.lines, tmhost::program_usage_lines()) << help;
    }
    const std::vector<std::string> usage = tmhost::program_usage_lines();
    EXPECT_EQ(usage[0], "usage: tonemix-host COMMAND [ARGUMENTS]");
    for (const char* line :
         {"  info [MODULE] [--module PATH] [-v]", "  scene NAME [--up AXIS] [--camera-index N]"}) {
        EXPECT_TRUE(contains(usage, line)) << line << "\n" << text_of(usage);
    }
    for (const std::string& line : usage) EXPECT_LE(line.size(), 80u) << line;
}

TEST_F(ProgramHelp, VersionNamesTheProgramItsCommitItsBuildAndTheModulesBanner) {
    // The number as the file VERSION holds it, and in a git checkout a commit after it.
    std::ifstream file(std::string(TONEMIX_SOURCE_DIR) + "/VERSION");
    std::string number;
    file >> number;
    ASSERT_TRUE(std::regex_match(number, std::regex("[0-9]+(\\.[0-9]+)+"))) << number;
    const bool checkout = std::filesystem::exists(std::string(TONEMIX_SOURCE_DIR) + "/.git");
    const std::string commit = checkout ? "\\+[0-9a-f]{10}" : "";
    const std::regex first("tonemix-host " + std::regex_replace(number, std::regex("\\."), "\\.") +
                           commit + " \\(Linux build\\)");

    const tonemix_test::ProgramRun run = tonemix_test::run_program("--version 2>&1");
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(run.lines[0], first)) << run.lines[0];
    EXPECT_EQ(run.lines[1], "module Tonemix 2.03: " + tonemix_test::module_file());
    tmhost::CommandSettings settings;
    settings.default_module = "/no/such/Tonemix.cdl";
    const tmhost::CommandOutput missing = tmhost::run_version(settings);
    EXPECT_EQ(missing.status, 0);
    ASSERT_EQ(missing.lines.size(), 2u);
    EXPECT_EQ(missing.lines[1].text,
              "module: not loaded: module file not found: /no/such/Tonemix.cdl");
}

TEST_F(ProgramHelp, NoCommandOrAnUnknownOneIsAUsageFault) {
    const tonemix_test::ProgramRun none = tonemix_test::run_program("2>&1 >/dev/null");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.lines, tmhost::program_usage_lines());
    EXPECT_TRUE(tonemix_test::run_program("2>/dev/null").lines.empty());
    // One line, not the whole usage after it.
    const tonemix_test::ProgramRun unknown = tonemix_test::run_program("paint 2>&1 >/dev/null");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.lines, std::vector<std::string>{"tonemix-host: unknown command 'paint'; "
                                                      "`tonemix-host --help` lists the commands"});
    const tonemix_test::ProgramRun escaped =
        tonemix_test::run_program("\"$(printf 'pa\\033int')\" 2>&1 >/dev/null");
    EXPECT_EQ(escaped.lines, std::vector<std::string>{"tonemix-host: unknown command 'pa\\x1bint'; "
                                                      "`tonemix-host --help` lists the commands"});
    const tonemix_test::ProgramRun render = tonemix_test::run_program("render --help 2>/dev/null");
    EXPECT_EQ(render.status, 0);
    EXPECT_EQ(render.lines, tmhost::usage_lines("render"));
}

#endif

}  // namespace
