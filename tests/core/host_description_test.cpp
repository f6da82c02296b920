// The description model: read from a description file's text into plain values, names found in
// every spelling, defaults and bounds kept as written, and what cannot be presented named.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "host/core/description.h"
#include "sample_description.h"

namespace {

using tmhost::Description;
using tmhost::DescriptionTextError;
using tmhost::ParameterType;
using tmhost::WrittenValue;

TEST(DescriptionModel, ReadsTheDescriptionAndFindsNamesInEverySpelling) {
    const Description sheet = Description::read(tonemix_test::kSampleDescription);
    EXPECT_EQ(sheet.name(), "Xtest");
    ASSERT_EQ(sheet.parameters().size(), 6u);
    const tmhost::Parameter& count = sheet.parameters()[0];
    EXPECT_EQ(count.short_name, "count");
    EXPECT_EQ(count.group, "Sampling");
    EXPECT_EQ(sheet.parameters()[1].group, "x") << "a group without a label shows its id";
    EXPECT_EQ(*count.min, 1.0);
    EXPECT_EQ(count.default_value.kind, WrittenValue::Kind::integer);
    EXPECT_EQ(count.default_value.json, "3");
    EXPECT_EQ(count.default_value.word, 3);
    for (const char* name : {"TONEMIX_COUNT", "count", "Count", "tonemix_count"}) {
        EXPECT_EQ(sheet.find(std::string(name)), &count) << name;
    }
    EXPECT_EQ(sheet.find(std::string("TONEMIX_")), nullptr);
    EXPECT_EQ(sheet.find(std::string("counts")), nullptr);
    EXPECT_EQ(sheet.find(4)->choices.size(), 2u);
    EXPECT_EQ(sheet.find(ParameterType::light_list)->id, 6);
    EXPECT_EQ(sheet.short_names(), "count, size, on, way, any");
}

TEST(DescriptionModel, RefusesDescriptionsItCannotPresent) {
    const auto fault = [](const char* text) { return Description::read(text).fault(); };
    EXPECT_EQ(fault(R"({"name": "X"})"), "description X: no parameter list");
    EXPECT_EQ(fault(R"({"name": "X", "parameters": [{"id": 1, "name": "A", "type": "colour"}]})"),
              "description X: parameters[0].type: unknown type \"colour\" (expected \"long\", "
              "\"real\", \"bool\" or \"lightlist\")");
    EXPECT_EQ(fault(R"({"name": "X", "parameters": [{"id": 1, "name": "A", "type": "bool"},
                                                     {"id": 1, "name": "B", "type": "bool"}]})"),
              "description X: parameters[1]: id 1 of B is already the id of A (parameters[0])");
    EXPECT_EQ(fault(R"({"name": "X", "parameters": [{"name": "A", "type": "bool"}]})"),
              "description X: parameters[0]: no id");
    // Reading stops at the fault: what came before it is kept, for a report that shows it.
    const Description partial = Description::read(
        R"({"name": "X", "parameters": [{"id": 1, "name": "A", "type": "bool"}, {"id": 2}]})");
    EXPECT_EQ(partial.fault(), "description X: parameters[1]: no name");
    ASSERT_EQ(partial.parameters().size(), 1u);
    EXPECT_EQ(partial.parameters()[0].name, "A");
    EXPECT_EQ(Description::read(tonemix_test::kSampleDescription).fault(), "");
}

// What would otherwise be ignored without a word, or leave a user unable to say which is meant.
TEST(DescriptionModel, RefusesUnknownKeysAndGroupsAndAmbiguousChoices) {
    const auto fault = [](const std::string& parameter) {
        return Description::read(R"({"name": "X", "groups": [{"id": "g"}], "parameters": [)" +
                                 parameter + "]}")
            .fault();
    };
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "bool", "group": "g"})"), "");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "bool", "defualt": true})"),
              "description X: parameters[0]: unknown key \"defualt\"");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "bool", "group": "h"})"),
              "description X: parameters[0].group: unknown group \"h\"");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "choices": []})"),
              "description X: parameters[0].choices: empty");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "choices": [
                          {"value": 0, "label": "Scatter"}, {"value": 1, "label": "scatter"}]})"),
              "description X: parameters[0].choices[1]: the label \"scatter\" appears twice");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "choices": [
                          {"value": 0, "label": "a", "colour": "red"}]})"),
              "description X: parameters[0].choices[0]: unknown key \"colour\"");
    EXPECT_EQ(Description::read(R"({"name": "X", "parameters": [], "version": 2})").fault(),
              "description X: unknown key \"version\"");
    EXPECT_EQ(Description::read(R"({"name": "X", "groups": [{"id": "g", "open": true}],
                                    "parameters": []})")
                  .fault(),
              "description X: groups[0]: unknown key \"open\"");
}

// Each fault is named for what it is, at the path of its key.
TEST(DescriptionModel, EachFaultIsNamedForWhatItIsAtItsKey) {
    const auto fault = [](const std::string& parameters, const std::string& groups = "") {
        return Description::read(R"({"name": "X", )" + groups + R"("parameters": [)" + parameters +
                                 "]}")
            .fault();
    };
    EXPECT_EQ(fault(R"({"id": 1, "name": "A"})"),
              "description X: parameters[0].type: missing (expected \"long\", \"real\", \"bool\" "
              "or \"lightlist\")");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": 3})"),
              "description X: parameters[0].type: unknown type 3 (expected \"long\", \"real\", "
              "\"bool\" or \"lightlist\")");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "bool", "group": "g"})"),
              "description X: parameters[0].group: unknown group \"g\" (the description has no "
              "\"groups\")");
    EXPECT_EQ(fault("", R"("groups": {"id": "g"}, )"), "description X: groups: expected an array");
    EXPECT_EQ(fault("", R"("groups": ["g"], )"), "description X: groups[0]: expected an object");
    EXPECT_EQ(fault("", R"("groups": [{"label": "G"}], )"), "description X: groups[0].id: missing");
    EXPECT_EQ(fault("", R"("groups": [{"id": "g"}, {"id": "g"}], )"),
              "description X: groups[1].id: \"g\" appears twice");
    EXPECT_EQ(Description::read(R"({"name": "X", "parameters": {}})").fault(),
              "description X: parameters: expected an array");
    EXPECT_EQ(fault(R"({"id": 2, "name": "L", "type": "lightlist"})"),
              "description X: parameters[0].custom_type: missing (a lightlist names the library "
              "id of its data)");
    EXPECT_EQ(fault(R"({"id": 2, "name": "L", "type": "lightlist", "custom_type": "list"})"),
              "description X: parameters[0].custom_type: expected a whole number");
    EXPECT_EQ(fault(R"({"id": 1008, "name": "TONEMIX_SAMPLES", "type": "long"},
                       {"id": 1008, "name": "TONEMIX_SAMPLES2", "type": "long"})"),
              "description X: parameters[1]: id 1008 of TONEMIX_SAMPLES2 is already the id of "
              "TONEMIX_SAMPLES (parameters[0])");
    EXPECT_EQ(fault(R"({"id": 1, "name": "TONEMIX_SAMPLES", "type": "long"},
                       {"id": 2, "name": "samples", "type": "long"})"),
              "description X: parameters[1]: the name samples names the same parameter as "
              "TONEMIX_SAMPLES (parameters[0])");
}

// What would be accepted and then fail elsewhere, or be read as another number: bounds out of
// order or past what a long holds, two choices of one value, names --set cannot give.
TEST(DescriptionModel, BoundsChoicesAndNamesThatCannotWorkAreRefused) {
    const auto fault = [](const std::string& parameter) {
        return Description::read(R"({"name": "X", "parameters": [)" + parameter + "]}").fault();
    };
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "min": 100, "max": 10})"),
              "description X: parameters[0]: min 100 is above max 10");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "real", "min": 1.5, "max": 0.5})"),
              "description X: parameters[0]: min 1.5 is above max 0.5");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "min": 7, "max": 7})"), "");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "min": -2147483648,
                        "max": 2147483647})"),
              "");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "max": 2147483648})"),
              "description X: parameters[0].max: 2147483648 does not fit 32 bits (a long holds "
              "-2147483648 to 2147483647)");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "min": -2147483649})"),
              "description X: parameters[0].min: -2147483649 does not fit 32 bits (a long holds "
              "-2147483648 to 2147483647)");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "max": 18446744073709551615})"),
              "description X: parameters[0].max: 18446744073709551615 does not fit 32 bits (a "
              "long holds -2147483648 to 2147483647)");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "max": 2.5})"),
              "description X: parameters[0].max: 2.5 is not a whole number");
    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "real", "max": 1e300})"), "");

    EXPECT_EQ(fault(R"({"id": 1, "name": "A", "type": "long", "choices": [
                          {"value": 1, "label": "one"}, {"value": 1, "label": "uno"}]})"),
              "description X: parameters[0].choices[1].value: 1 is the value of choices[0] too");

    EXPECT_EQ(fault(R"({"id": 1, "name": "TONEMIX_", "type": "bool"})"),
              "description X: parameters[0].name: \"TONEMIX_\" is the prefix alone, which names "
              "no parameter");
    EXPECT_EQ(fault(R"({"id": 1, "name": "tonemix_", "type": "bool"})"),
              "description X: parameters[0].name: \"tonemix_\" is the prefix alone, which names "
              "no parameter");
    EXPECT_EQ(fault(R"({"id": 1, "name": "TONEMIX_A=B,C", "type": "bool"})"),
              "description X: parameters[0].name: \"TONEMIX_A=B,C\" holds \"=\": a name is "
              "letters, digits and \"_\", as --set NAME=VALUE gives it");
    EXPECT_EQ(fault(R"({"id": 1, "name": "TONEMIX_A B", "type": "bool"})"),
              "description X: parameters[0].name: \"TONEMIX_A B\" holds \" \": a name is "
              "letters, digits and \"_\", as --set NAME=VALUE gives it");
    EXPECT_EQ(fault(R"({"id": 1, "name": "TONEMIX_A1_b", "type": "bool"})"), "");
    EXPECT_EQ(fault(R"({"id": 1, "name": "TONEMIX__", "type": "bool"})"), "");
}

TEST(DescriptionModel, AThousandParametersAreReadAndOneMoreIsRefused) {
    const auto with = [](int count) {
        std::string text = R"({"name": "X", "parameters": [)";
        for (int i = 0; i < count; ++i) {
            text += (i == 0 ? "" : ",") + std::string(R"({"id": )") + std::to_string(i + 1) +
                    R"(, "name": "P)" + std::to_string(i) + R"(", "type": "long"})";
        }
        return Description::read(text + "]}");
    };
    const Description most = with(1000);
    EXPECT_EQ(most.fault(), "");
    EXPECT_EQ(most.parameters().size(), 1000u);
    const Description more = with(1001);
    EXPECT_EQ(more.fault(), "description X: more than 1000 parameters (1001)");
    EXPECT_TRUE(more.parameters().empty());
}

// Whatever the description wrote stays as written, with what the host can hold of it beside.
TEST(DescriptionModel, DefaultsAndBoundsKeepTheirWrittenFormAndTheirHoldableValue) {
    const Description sheet = Description::read(R"({"name": "X", "parameters": [
        {"id": 1, "name": "A", "type": "long", "default": 4294967296},
        {"id": 2, "name": "B", "type": "real", "default": 0.1, "min": -1e300,
         "max": 9223372036854775807},
        {"id": 3, "name": "C", "type": "bool", "default": false},
        {"id": 4, "name": "D", "type": "long", "default": "seven"},
        {"id": 5, "name": "E", "type": "real", "default": 1e39},
        {"id": 6, "name": "F", "type": "long", "default": -2147483648}]})");
    ASSERT_EQ(sheet.fault(), "");
    const auto parameter = [&](int32_t id) { return *sheet.find(id); };

    EXPECT_EQ(parameter(1).default_value.kind, WrittenValue::Kind::integer);
    EXPECT_EQ(parameter(1).default_value.json, "4294967296");
    EXPECT_FALSE(parameter(1).default_value.word) << "beyond 32 bits";
    EXPECT_FALSE(parameter(1).default_element()) << "would wrap into another number";
    EXPECT_FALSE(parameter(1).min_written.given());
    EXPECT_EQ(parameter(2).max_written.json, "9223372036854775807");

    EXPECT_EQ(parameter(2).default_value.kind, WrittenValue::Kind::real);
    EXPECT_EQ(parameter(2).default_value.number, 0.1);
    ASSERT_TRUE(parameter(2).default_element());
    EXPECT_EQ(parameter(2).default_element()->real, 0.1f);
    EXPECT_EQ(parameter(2).min_written.json, "-1e+300");
    EXPECT_EQ(*parameter(2).min, -1e300);

    EXPECT_EQ(parameter(3).default_value.kind, WrittenValue::Kind::boolean);
    ASSERT_TRUE(parameter(3).default_element());
    EXPECT_EQ(parameter(3).default_element()->word, 0);

    EXPECT_EQ(parameter(4).default_value.kind, WrittenValue::Kind::other);
    EXPECT_EQ(parameter(4).default_value.json, "\"seven\"");
    EXPECT_FALSE(parameter(4).default_element());
    EXPECT_FALSE(parameter(5).default_element()) << "beyond a float";
    ASSERT_TRUE(parameter(6).default_element());
    EXPECT_EQ(parameter(6).default_element()->word, INT32_MIN);
}

// A file that is no description at all stops the resource's load; the model never sees it.
TEST(DescriptionModel, TextThatIsNoDescriptionThrowsWithItsPlace) {
    const auto error = [](const char* text) -> std::string {
        try {
            Description::read(text);
        } catch (const DescriptionTextError& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(error(R"({"name": "X", "parameters": []})"), "");
    EXPECT_EQ(error(R"({"parameters": []})"), "name: missing");
    EXPECT_EQ(error(R"({"name": 7})"), "name: expected a string");
    EXPECT_EQ(error("[]"), "top level: expected an object, not an array");
    EXPECT_EQ(error(R"([{"name": "X", "parameters": []}])"),
              "top level: expected an object, not an array");
    EXPECT_EQ(error(R"("X")"), "top level: expected an object, not a string");
    EXPECT_EQ(error("null"), "top level: expected an object, not null");
    // Of two, one would be read without a word; the second is placed at its opening quote.
    EXPECT_EQ(error("{\"name\": \"X\", \"parameters\": [\n  {\"id\": 1, \"name\": \"A\", \"name\": "
                    "\"B\", \"type\": \"bool\"}]}"),
              "line 2, column 26: parameters[0]: key \"name\" appears twice");
    EXPECT_EQ(error(R"({"name": "X", "name": "Y", "parameters": []})"),
              "line 1, column 15: top level: key \"name\" appears twice");
    EXPECT_EQ(error("{\n  \"name\": \"X\",\n  oops}").rfind("line 3, column ", 0), 0u);
}

}  // namespace
