// JSON text read within limits: nesting refused at the bracket one level too deep, numbers beyond
// a double's range refused with their place, repeated keys refused only where asked.
#include <gtest/gtest.h>

#include <string>

#include "host/json/json_text.h"

namespace {

using nlohmann::json;
using tmhost::JsonLimits;
using tmhost::JsonTextError;
using tmhost::parse_json_text;

std::string error_of(const std::string& text, const JsonLimits& limits = {}) {
    try {
        parse_json_text(text, limits);
    } catch (const JsonTextError& error) {
        return error.what();
    }
    return "(no error)";
}

JsonLimits deepest(std::size_t levels) {
    JsonLimits limits;
    limits.max_depth = levels;
    return limits;
}

std::string nested_arrays(std::size_t levels) {
    return std::string(levels, '[') + std::string(levels, ']');
}

TEST(JsonText, SixtyFourLevelsReadAndTheSixtyFifthIsRefusedAtItsBracket) {
    const json tree = parse_json_text(nested_arrays(64));
    const json* innermost = &tree;
    for (int level = 1; level < 64; ++level) {
        ASSERT_TRUE(innermost->is_array() && innermost->size() == 1u) << level;
        innermost = &(*innermost)[0];
    }
    EXPECT_EQ(*innermost, json::array());

    EXPECT_EQ(error_of(nested_arrays(65)), "line 1, column 65: nested more than 64 levels deep");
    // Refused at the bracket, long before the end of the text is in sight.
    EXPECT_EQ(error_of(std::string(100000, '[')),
              "line 1, column 65: nested more than 64 levels deep");
}

TEST(JsonText, DepthCountsArraysAndObjectsAlikeAndNotBracketsInStrings) {
    EXPECT_EQ(error_of(R"({"a": [1, {"b": [2]}]})", deepest(3)),
              "line 1, column 17: nested more than 3 levels deep");
    EXPECT_EQ(parse_json_text(R"({"a": [1, {"b": 2}]})", deepest(3))["a"][1]["b"], json(2));
    EXPECT_EQ(parse_json_text(R"(["[[[[{{{{", "]]}}"])", deepest(1)),
              json::array({"[[[[{{{{", "]]}}"}));
    EXPECT_EQ(error_of("[\n [\n  [1]]]", deepest(2)),
              "line 3, column 3: nested more than 2 levels deep");
    EXPECT_EQ(error_of("[]", deepest(0)), "line 1, column 1: nested more than 0 levels deep");
    EXPECT_EQ(parse_json_text("17", deepest(0)), json(17));
}

TEST(JsonText, ANumberBeyondADoubleIsMalformedAtItsPlace) {
    EXPECT_EQ(error_of(R"({"a": 1e309})"),
              "line 1, column 11: malformed JSON: number overflow parsing '1e309'");
    EXPECT_EQ(error_of("[\n  -1e400]"),
              "line 2, column 8: malformed JSON: number overflow parsing '-1e400'");
    EXPECT_EQ(parse_json_text("[1.7976931348623157e308]")[0].get<double>(), 1.7976931348623157e308);
}

TEST(JsonText, RepeatedKeysAreRefusedOnlyWhereAsked) {
    EXPECT_EQ(parse_json_text(R"({"a": 1, "b": {"c": 2, "c": 3}, "a": 4})"),
              json::parse(R"({"a": 4, "b": {"c": 3}})"));
    JsonLimits unique;
    unique.unique_keys = true;
    EXPECT_EQ(error_of(R"({"a": 1, "b": {"c": 2, "c": 3}})", unique),
              "line 1, column 24: b: key \"c\" appears twice");
    EXPECT_EQ(error_of(R"({"a": [{}, {"x": 1, "x": 1}]})", unique),
              "line 1, column 21: a[1]: key \"x\" appears twice");
    EXPECT_EQ(error_of(R"({"a": 1, "a": 1})", unique),
              "line 1, column 10: top level: key \"a\" appears twice");
}

// The place is the second key's opening quote, whatever the key holds: escaped quotes and
// backslashes, bytes beyond ASCII (a column counts bytes), and keys that are the same only once
// their escapes are read.
TEST(JsonText, ARepeatedKeyIsPlacedAtItsOpeningQuote) {
    JsonLimits unique;
    unique.unique_keys = true;
    EXPECT_EQ(error_of("{\n  \"q\\\"\": 1,\n  \"q\\\"\": 2}", unique),
              "line 3, column 3: top level: key \"q\\\"\" appears twice");
    EXPECT_EQ(error_of(R"({"b\\": 1, "b\\": 2})", unique),
              "line 1, column 12: top level: key \"b\\\\\" appears twice");
    // A line break in the key stays out of the message's one line.
    EXPECT_EQ(error_of(R"({"a\nb": 1, "a\nb": 2})", unique),
              "line 1, column 13: top level: key \"a\\nb\" appears twice");
    EXPECT_EQ(error_of("{\"\xc3\xa9\": 1, \"\xc3\xa9\": 2}", unique),
              "line 1, column 11: top level: key \"\xc3\xa9\" appears twice");
    EXPECT_EQ(error_of(R"({"A": 1, "\u0041": 2})", unique),
              "line 1, column 10: top level: key \"A\" appears twice");
    EXPECT_EQ(error_of(R"({"": 1, "": 2})", unique),
              "line 1, column 9: top level: key \"\" appears twice");
}

}  // namespace

namespace {

JsonLimits capped(std::size_t most, std::size_t* count) {
    JsonLimits limits;
    limits.unique_keys = true;
    limits.cap = tmhost::ArrayCap{"items", most, count};
    return limits;
}

TEST(JsonTextCap, ItemsPastTheCapAreCountedNotBuilt) {
    std::size_t count = 99;
    const json tree = parse_json_text(
        R"({"items": [1, {"a": [2, 3]}, [4], 5, {"b": {"c": 6}}], "after": [7, 8, 9]})",
        capped(2, &count));
    EXPECT_EQ(count, 5u);
    // The most and one more are built, so that a reader sees that there are too many.
    EXPECT_EQ(tree["items"], json::parse(R"([1, {"a": [2, 3]}, [4]])"));
    EXPECT_EQ(tree["after"], json::parse("[7, 8, 9]"));
}

TEST(JsonTextCap, OnlyTheTopLevelArrayOfTheKeyIsCapped) {
    std::size_t count = 0;
    const json tree =
        parse_json_text(R"({"inner": {"items": [1, 2, 3, 4]}, "items": [5]})", capped(1, &count));
    EXPECT_EQ(tree["inner"]["items"].size(), 4u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(tree["items"], json::parse("[5]"));
    // An object under the key is not an array: built whole, nothing counted.
    count = 7;
    EXPECT_EQ(parse_json_text(R"({"items": {"x": 1, "y": 2}})", capped(0, &count))["items"].size(),
              2u);
    EXPECT_EQ(count, 7u);
}

TEST(JsonTextCap, ItemsPastTheCapMustStillBeSoundAndShallow) {
    std::size_t count = 0;
    EXPECT_EQ(error_of(R"({"items": [1, 2, 3, {"x": 1e309}]})", capped(1, &count)),
              "line 1, column 31: malformed JSON: number overflow parsing '1e309'");
    std::string deep = R"({"items": [1, 2, )";
    for (int i = 0; i < 70; ++i) deep += "[";
    EXPECT_EQ(error_of(deep, capped(1, &count)),
              "line 1, column 80: nested more than 64 levels deep");
}

}  // namespace
