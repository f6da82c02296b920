// The commands' option reading and their text tables.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/commands/command_error.h"
#include "host/commands/command_line.h"
#include "host/commands/text_table.h"
#include "thrown_text.h"

namespace {

using tmhost::UsageError;

std::string error_of(const std::function<void()>& action) {
    return tonemix_test::thrown_text<UsageError>(action);
}

TEST(CommandLine, ReadsOptionsInBothFormsAndRefusesTheRest) {
    using tmhost::OptionRule;
    const std::vector<OptionRule> rules = {
        OptionRule::valued("--width", "W", "the width"),
        OptionRule::valued("--set", nullptr, "a value").repeated(),
        OptionRule::valued("--output", "FILE", "the file").with_alias("-o"),
        OptionRule::flag("--help", "help").with_alias("-h")};
    const tmhost::CommandLine line(
        {"scene.json", "--width=32", "--set", "a=1", "-o", "x.png", "--set=b=2", "-h"}, rules,
        "scene file");
    EXPECT_EQ(*line.positional(), "scene.json");
    EXPECT_EQ(*line.integer("--width", 1, 100), 32);
    EXPECT_EQ(line.values("--set"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(*line.value("--output"), "x.png");
    EXPECT_TRUE(line.has("--help"));
    EXPECT_FALSE(line.integer("--height", 1, 100).has_value());

    const auto parse = [&](std::vector<std::string> arguments) {
        return error_of([&] { tmhost::CommandLine(arguments, rules, "scene file"); });
    };
    EXPECT_EQ(parse({"--width"}), "--width needs a value");
    EXPECT_EQ(parse({"--width", "1", "--width", "2"}), "--width given more than once");
    EXPECT_EQ(parse({"--help=yes"}), "--help takes no value");
    EXPECT_EQ(parse({"-x"}), "unknown option '-x'");
    EXPECT_EQ(error_of([&] {
                  tmhost::CommandLine({"--width", "99999999999"}, rules, "scene file")
                      .integer("--width", 1, 100);
              }),
              "--width: expected a whole number from 1 to 100, got '99999999999'");

    // After "--", a name that starts with "-" is the plain argument; a second "--" is one too.
    const tmhost::CommandLine ended({"--width", "4", "--", "-scene.json"}, rules, "scene file");
    EXPECT_EQ(*ended.positional(), "-scene.json");
    EXPECT_EQ(*ended.integer("--width", 1, 100), 4);
    EXPECT_EQ(*tmhost::CommandLine({"--", "--"}, rules, "scene file").positional(), "--");
    EXPECT_EQ(parse({"--", "a.json", "--help"}), "more than one scene file: 'a.json' and '--help'");
}

TEST(CommandTextTable, AlignsColumnsWithoutTrailingBlanks) {
    EXPECT_EQ(tmhost::format_table({{"a", "bb", "c"}, {"ccc", "d", ""}}),
              (std::vector<std::string>{"a    bb  c", "ccc  d"}));
}

}  // namespace
