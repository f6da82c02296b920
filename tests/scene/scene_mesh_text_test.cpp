// The reading shared by the text mesh formats: line ends of every system, fields, the range check
// of a decimal number against strtod's, and the index fields against strtol's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/scene/mesh_text.h"
#include "host/scene/obj_numbers.h"
#include "host/scene/scene_error.h"

namespace {

using namespace tmhost;

std::vector<std::pair<std::size_t, std::string>> lines_of(const std::string& text) {
    std::vector<std::pair<std::size_t, std::string>> lines;
    TextLines reader(text);
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(reader.number(), std::string(line));
    return lines;
}

TEST(SceneMeshText, LinesEndAsEverySystemEndsThem) {
    using Lines = std::vector<std::pair<std::size_t, std::string>>;
    EXPECT_EQ(lines_of(""), Lines{});
    EXPECT_EQ(lines_of("a"), (Lines{{1, "a"}}));
    EXPECT_EQ(lines_of("a\n"), (Lines{{1, "a"}}));
    EXPECT_EQ(lines_of("a\r\nb\rc\n\nd"), (Lines{{1, "a"}, {2, "b"}, {3, "c"}, {4, ""}, {5, "d"}}));
    // "\n\r" is two ends, "\r\r\n" two as well.
    EXPECT_EQ(lines_of("a\n\rb"), (Lines{{1, "a"}, {2, ""}, {3, "b"}}));
    EXPECT_EQ(lines_of("a\r\r\nb\r"), (Lines{{1, "a"}, {2, ""}, {3, "b"}}));
    EXPECT_EQ(lines_of("\n"), (Lines{{1, ""}}));
}

TEST(SceneMeshText, FieldsAreSplitAtBlanksAndTabsAndTheStorageIsReused) {
    LineFields fields;
    fields.split(" \tv  1.5\t-2 3e1 ");
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0], "v");
    EXPECT_EQ(fields[1], "1.5");
    EXPECT_EQ(fields[2], "-2");
    EXPECT_EQ(fields[3], "3e1");
    fields.split("f 1");
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(std::string(fields.begin()[1]), "1");
    EXPECT_EQ(fields.end() - fields.begin(), 2);
    fields.split(" \t ");
    EXPECT_TRUE(fields.empty());
}

TEST(SceneMeshText, QuotedTokensAreCutAndMadePrintable) {
    EXPECT_EQ(quoted_token("abc"), "\"abc\"");
    EXPECT_EQ(quoted_token(std::string("a\x01\x7f"
                                       "b",
                                       4)),
              "\"a??b\"");
    const std::string long_token(50, 'x');
    EXPECT_EQ(quoted_token(long_token), "\"" + std::string(40, 'x') + "...\"");
    try {
        fail_at_line("m.obj", 7, "bad");
        FAIL() << "no error";
    } catch (const SceneError& error) {
        EXPECT_STREQ(error.what(), "m.obj: line 7: bad");
    }
    EXPECT_NO_THROW(check_decimal("-1.5e-3", "m.obj", 1));
    EXPECT_THROW(check_decimal("0x10", "m.obj", 1), SceneError);
}

bool strtod_finite(const std::string& token) {
    return std::isfinite(std::strtod(token.c_str(), nullptr));
}

// Around the end of the doubles' range: the largest double is 1.7976931348623157e308, and
// everything below 1.797693134862315807e308 rounds to it.
TEST(SceneMeshText, RangeOfADecimalIsStrtodsAtTheEndOfTheDoubles) {
    const std::vector<std::string> tokens = {"0",
                                             "-0",
                                             "1",
                                             "1e308",
                                             "9.99e307",
                                             "1.7976931348623157e308",
                                             "-1.7976931348623157e308",
                                             "1.7976931348623158e308",
                                             "1.7976931348623159e308",
                                             "1.8e308",
                                             "10e307",
                                             "100e306",
                                             "0.0001e312",
                                             "0.0001e313",
                                             "00000000000000000000000000000001e308",
                                             "1e-400",
                                             "1e-99999999",
                                             "1e99999999",
                                             "1e+308",
                                             "1E309",
                                             "-2e308",
                                             "+1.5",
                                             "1.",
                                             ".5e308",
                                             "5.e308",
                                             "0.000000000000000000000000000000000000000001e350",
                                             std::string(308, '9'),
                                             std::string(309, '9'),
                                             "1" + std::string(308, '0'),
                                             "17976931348623157" + std::string(292, '0'),
                                             "17976931348623159" + std::string(292, '0'),
                                             "0." + std::string(400, '9') + "e308",
                                             std::string(500, '0') + "1.5"};
    for (const std::string& token : tokens) {
        ASSERT_TRUE(is_decimal(token)) << token;
        EXPECT_EQ(decimal_in_range(token), strtod_finite(token)) << token.substr(0, 60);
    }
}

TEST(SceneMeshText, RangeOfRandomDecimalsIsStrtods) {
    std::uint64_t state = 99;
    const auto next = [&](int n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
    };
    int out_of_range = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string token = next(2) ? "-" : "";
        token += std::string(static_cast<std::size_t>(next(3)), '0');
        const int digits = 1 + next(20);
        for (int d = 0; d < digits; ++d) token += static_cast<char>('0' + next(10));
        if (next(2)) token += "." + std::to_string(next(100000));
        token += "e" + std::to_string(280 + next(50) - (next(4) == 0 ? 700 : 0));
        ASSERT_TRUE(is_decimal(token)) << token;
        const bool expected = strtod_finite(token);
        ASSERT_EQ(decimal_in_range(token), expected) << token;
        out_of_range += expected ? 0 : 1;
    }
    EXPECT_GT(out_of_range, 1000);
}

TEST(SceneMeshText, AnExponentPastAnIntIsZeroOrBeyondEveryDouble) {
    const double inf = HUGE_VAL;
    EXPECT_EQ(decimal_value("1e99999999999"), inf);
    EXPECT_EQ(decimal_value("-3.25E+4294967296"), -inf);
    EXPECT_EQ(decimal_value("1e-99999999999"), 0.0);
    EXPECT_EQ(decimal_value("0e99999999999"), 0.0);
    EXPECT_EQ(decimal_value("0.000e4294967296"), 0.0);
    // Within an int, as before: the scaled value.
    EXPECT_EQ(decimal_value("25e-1"), 2.5);
    EXPECT_EQ(decimal_value("1e2147483647"), inf);
}

TEST(SceneMeshText, IndexFieldsReadAsStrtolReadsThemOrNotAtAll) {
    for (const std::string text : {"1", "-1", "+7", "007", "999999999", "-999999999", "0", "-0"}) {
        long value = 12345;
        ASSERT_TRUE(short_integer(text, value)) << text;
        EXPECT_EQ(value, std::strtol(text.c_str(), nullptr, 10)) << text;
    }
    for (const std::string text : {"", "-", "+", "1000000000", "1.5", "1e3", "12a", " 1", "--1"}) {
        long value = 12345;
        EXPECT_FALSE(short_integer(text, value)) << text;
        EXPECT_EQ(value, 12345) << text;
    }
}

}  // namespace
