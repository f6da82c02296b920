// Numbers of a description at the edges of what the host can hold: a default the host cannot hold
// is said to be one, never wrapped into another number or rounded to an infinity.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/core/description.h"
#include "host/loading/default_check.h"

namespace {

using tmhost::Description;
using tmhost::Element;
using tmhost::ValueType;

// A description of one parameter of the type, with the default written as `value`.
Description with_default(const char* type, const std::string& value) {
    return Description::read(R"({"name": "X", "parameters": [{"id": 7, "name": "A", "type": ")" +
                             std::string(type) + R"(", "default": )" + value + "}]}");
}

std::optional<Element> default_of(const char* type, const std::string& value) {
    const Description description = with_default(type, value);
    EXPECT_EQ(description.fault(), "");
    return description.parameters().at(0).default_element();
}

TEST(DescriptionNumbers, ALongDefaultMustFitThirtyTwoBits) {
    for (const char* text : {"2147483647", "-2147483648", "0"}) {
        const std::optional<Element> element = default_of("long", text);
        ASSERT_TRUE(element) << text;
        EXPECT_EQ(element->type, ValueType::integer);
        EXPECT_EQ(element->id, 7);
        EXPECT_EQ(std::to_string(element->word), text);
    }
    for (const char* text : {"2147483648", "-2147483649", "4294967295", "9223372036854775807",
                             "-9223372036854775808", "18446744073709551615"}) {
        EXPECT_FALSE(default_of("long", text)) << text;
    }
}

TEST(DescriptionNumbers, ARealDefaultMustFitAFloat) {
    constexpr float kLargest = std::numeric_limits<float>::max();
    // Too small for a float is only rounded: zero is the nearest float.
    const std::pair<const char*, float> held[] = {{"3.4028234663852886e38", kLargest},
                                                  {"-3.4028234663852886e38", -kLargest},
                                                  {"1e-50", 0.0f},
                                                  {"9223372036854775807", 9223372036854775808.0f}};
    for (const auto& [text, expected] : held) {
        const std::optional<Element> element = default_of("real", text);
        ASSERT_TRUE(element) << text;
        EXPECT_EQ(element->type, ValueType::real);
        EXPECT_EQ(element->real, expected) << text;
    }
    for (const char* text : {"3.5e38", "-3.5e38", "1e300", "-1.7976931348623157e308"}) {
        EXPECT_FALSE(default_of("real", text)) << text;
    }
}

TEST(DescriptionNumbers, ADefaultTheHostCannotHoldIsADifference) {
    const tmhost::Container empty;
    EXPECT_EQ(tmhost::default_differences(with_default("long", "9223372036854775807"), empty),
              std::vector<std::string>{"7: a default of type \"long\" the host cannot hold"});
    EXPECT_EQ(tmhost::default_differences(with_default("real", "1e300"), empty),
              std::vector<std::string>{"7: a default of type \"real\" the host cannot hold"});
}

}  // namespace
