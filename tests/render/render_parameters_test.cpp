// The pieces a render is made of: values checked against the description, --set values, a scene's
// lights as the renderer sees them, and the progress line's time left.
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/core/description.h"
#include "host/render/parameter_values.h"
#include "host/render/progress_bar.h"
#include "host/render/render_error.h"
#include "host/render/scene_lights.h"
#include "host/scene/scene_parser.h"
#include "sample_description.h"
#include "thrown_text.h"

namespace {

using nlohmann::json;
using tmhost::Description;
using tmhost::ParameterType;
using tmhost::RenderError;

std::string error_of(const std::function<void()>& action) {
    return tonemix_test::thrown_text<RenderError>(action);
}

TEST(RenderParameterValues, ChecksTypeRangeAndChoices) {
    const Description sheet = Description::read(tonemix_test::kSampleDescription);
    const auto check = [&](const char* name, const json& value) {
        return tmhost::check_parameter_value(*sheet.find(std::string(name)), value, "here");
    };
    EXPECT_EQ(check("count", 1).word, 1);
    EXPECT_EQ(check("count", 10).word, 10);
    EXPECT_EQ(error_of([&] { check("count", 11); }),
              "here: expected a whole number from 1 to 10, got 11");
    EXPECT_EQ(error_of([&] { check("count", 2.0); }),
              "here: expected a whole number from 1 to 10, got 2.0");
    EXPECT_EQ(check("size", 2.5).real, 2.5f);
    EXPECT_EQ(check("size", 0.1).real, 0.1f) << "rounded to float once";
    EXPECT_EQ(check("size", 1).real, 1.0f) << "a whole number is a real too";
    EXPECT_EQ(error_of([&] { check("size", 2.6); }),
              "here: expected a number from 0 to 2.5, got 2.6");
    EXPECT_EQ(check("on", false).word, 0);
    EXPECT_EQ(error_of([&] { check("on", "yes"); }), "here: expected true or false, got \"yes\"");
    EXPECT_EQ(check("way", 7).word, 7);
    EXPECT_EQ(check("way", "ALONG the normal").word, 7);
    EXPECT_EQ(error_of([&] { check("way", 1); }),
              "here: expected one of 0 (Round), 7 (along the normal), got 1");
    EXPECT_EQ(check("any", -2147483647 - 1).word, INT32_MIN);
    EXPECT_EQ(error_of([&] { check("any", 4294967296ULL); }),
              "here: expected a whole number from -2147483648 to 2147483647, got 4294967296");
    EXPECT_EQ(error_of([&] { check("list", json::array()); }),
              "here: a light list is set by the scene's light_list, not as a value");
}

TEST(RenderParameterValues, BoundsBeyondTheTypeHoldValuesToTheTypesOwnRange) {
    const Description sheet = Description::read(R"({"name": "Xwide", "parameters": [
        { "id": 1, "name": "TONEMIX_COUNT", "type": "long", "min": 0, "max": 2147483647 },
        { "id": 2, "name": "TONEMIX_SIZE", "type": "real", "min": -1e300, "max": 1e300 }]})");
    // A long's bound past 32 bits is a fault of the description itself (description_rules.h).
    ASSERT_EQ(sheet.fault(), "");
    const auto check = [&](const char* name, const json& value) {
        return tmhost::check_parameter_value(*sheet.find(std::string(name)), value, "here");
    };
    EXPECT_EQ(check("count", 2147483647).word, INT32_MAX);
    EXPECT_EQ(error_of([&] { check("count", 2147483648LL); }),
              "here: expected a whole number from 0 to 2147483647, got 2147483648");
    EXPECT_EQ(check("size", -3.4028234663852886e38).real, -std::numeric_limits<float>::max());
    EXPECT_EQ(error_of([&] { check("size", 3.5e38); }),
              "here: expected a number from -3.4028234663852886e+38 to 3.4028234663852886e+38, "
              "got 3.5e+38");
}

TEST(RenderParameterValues, SetValuesReadAsJsonOrAsText) {
    EXPECT_EQ(tmhost::parse_set_value("16"), json(16));
    EXPECT_EQ(tmhost::parse_set_value("-1.5"), json(-1.5));
    EXPECT_EQ(tmhost::parse_set_value("true"), json(true));
    EXPECT_EQ(tmhost::parse_set_value("\"1\""), json("1"));
    EXPECT_EQ(tmhost::parse_set_value("round"), json("round"));
    EXPECT_EQ(tmhost::parse_set_value("[1]"), json("[1]"));
    EXPECT_EQ(tmhost::parse_set_value(""), json(""));
}

TEST(RenderParameterValues, LaterValuesReplaceEarlierOnesAndLandTyped) {
    const Description sheet = Description::read(tonemix_test::kSampleDescription);
    tmhost::ParameterValues values(sheet);
    values.add_scene(json::parse(R"({"count": 4, "TONEMIX_SIZE": 2, "on": false})"), "a.json");
    values.add_assignment("COUNT=5");
    values.add_assignment("way=round");
    ASSERT_EQ(values.values().size(), 4u);
    EXPECT_EQ(values.find(1)->word, 5);
    EXPECT_EQ(error_of([&] { values.add_scene(json::parse(R"({"cnt": 1})"), "a.json"); }),
              "a.json: shader.cnt: unknown parameter (the shader has: count, size, on, way, any)");
    EXPECT_EQ(error_of([&] {
                  values.add_scene(json::parse(R"({"TONEMIX_COUNT": 2, "count": 1})"), "b.json");
              }),
              "b.json: shader.count: TONEMIX_COUNT is set twice");
    EXPECT_EQ(error_of([&] { values.add_scene(json::array(), "a.json"); }),
              "a.json: shader: expected an object");

    tmhost::Container container;
    container.set_long(1, 99);
    values.apply(container);
    EXPECT_EQ(container.get_long(1), 5);
    EXPECT_EQ(container.get_real(2), 2.0f);
    EXPECT_EQ(container.find_index(3) >= 0 && container.get_bool(3) == 0, true);
    EXPECT_EQ(container.get_long(4), 0);
    EXPECT_EQ(container.size(), 4u);
}

TEST(RenderSceneLights, LightsCarryFlagBytesDistinctObjectsAndTheList) {
    const tmhost::Scene scene = tmhost::parse_scene(R"({
      "camera": { "position": [0, 2, 6], "target": [0, 0, 0], "fov": 40 },
      "objects": [
        { "type": "plane", "name": "floor", "point": [0, 0, 0], "normal": [0, 1, 0] },
        { "type": "sphere", "name": "a", "center": [0, 1, 0], "radius": 1 },
        { "type": "sphere", "name": "b", "center": [2, 1, 0], "radius": 1 } ],
      "lights": [ { "name": "one", "position": [0, 5, 0], "exclude": ["b", "floor"] },
                  { "name": "two", "position": [3, 5, 0] } ],
      "light_list": { "mode": "include", "lights": ["two"] } })");
    tmhost::SceneLights lights(scene);
    const std::vector<tmhost::PointLightEntry> entries = lights.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].object_flags, (std::vector<uint8_t>{1, 0, 1}));
    EXPECT_TRUE(entries[1].object_flags.empty()) << "a light that excludes nothing has no table";
    EXPECT_NE(entries[0].scene_object, nullptr);
    EXPECT_NE(entries[0].scene_object, entries[1].scene_object);
    EXPECT_EQ(entries[1].scene_object, lights.scene_object(1));
    ASSERT_NE(lights.list_data(), nullptr);
    EXPECT_EQ(lights.list_data()->scene_objects, std::vector<void*>{lights.scene_object(1)});
    EXPECT_EQ(*lights.list_mode(), 0);

    tmhost::Scene unlisted = scene;
    unlisted.light_list.reset();
    tmhost::SceneLights none(unlisted);
    EXPECT_EQ(none.list_data(), nullptr);
    EXPECT_FALSE(none.list_mode());
}

TEST(RenderProgress, TimeLeftFollowsThePaceSoFar) {
    EXPECT_EQ(tmhost::time_left_text(2.0, 0, 100), "") << "no pace before the first row";
    EXPECT_EQ(tmhost::time_left_text(2.0, 100, 100), "") << "nothing left after the last";
    EXPECT_EQ(tmhost::time_left_text(2.0, 25, 100), "6 s left");
    EXPECT_EQ(tmhost::time_left_text(1.0, 2, 100), "49 s left");
    EXPECT_EQ(tmhost::time_left_text(10.0, 5, 100), "3 min 10 s left");
    EXPECT_EQ(tmhost::time_left_text(0.0, 50, 100), "0 s left");
}

TEST(RenderProgress, TheBarIsRedrawnOnlyWhenItsPercentChanges) {
    const auto drawn = [](const std::function<void(tmhost::ProgressBar&)>& steps) {
        tmhost::ProgressBar bar(200, true);
        testing::internal::CaptureStderr();
        steps(bar);
        return testing::internal::GetCapturedStderr();
    };
    const std::string empty = "\rrendering [" + std::string(40, '.') + "]   0% ";
    std::string text = drawn([](tmhost::ProgressBar& bar) {
        bar.show(0);
        bar.show(1);  // still 0 %
    });
    EXPECT_EQ(text, empty + std::string(18, ' '));

    text = drawn([](tmhost::ProgressBar& bar) {
        bar.show(100);
        bar.finish();
        bar.finish();  // the line is clear already
    });
    const std::string half =
        "\rrendering [" + std::string(20, '#') + std::string(20, '.') + "]  50% ";
    ASSERT_EQ(text.rfind(half, 0), 0u) << text;
    const std::string cleared = "\r" + std::string(80, ' ') + "\r";
    EXPECT_EQ(text.substr(text.size() - cleared.size()), cleared);
    EXPECT_EQ(text.size(), half.size() + 18 + cleared.size()) << "the time left padded to 18";

    // Work in parts: the rows of a later part count after those before, each at its cost.
    text = drawn([](tmhost::ProgressBar& bar) {
        bar.count_from(150, 5);
        bar.show(10);
    });
    EXPECT_EQ(text.rfind("\rrendering [" + std::string(40, '#') + "] 100% ", 0), 0u) << text;
    // Not shown: nothing drawn, nothing to clear.
    tmhost::ProgressBar off(10, false);
    testing::internal::CaptureStderr();
    off.show(5);
    off.finish();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
