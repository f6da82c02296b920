// What a command makes of its scene before a render: --set lights=... as the scene's light list
// (its names in either form, its mode from the scene or the shader), the line that tells the
// stage's distance and offset for a model, the light list refused by a shader without one, and
// the image size that one side given keeps in the scene's shape.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/core/description.h"
#include "host/render/prepared_scene.h"
#include "host/render/render_error.h"
#include "host/render/scene_lights.h"
#include "host/render/scene_source.h"
#include "host/scene/scene_parser.h"
#include "thrown_text.h"

namespace {

using tmhost::Description;
using tmhost::LoadedScene;
using tmhost::RenderError;

// A shader with a light list whose mode is 0 (include) unless the file says otherwise.
std::string description_text(const std::string& list_mode_default = "0") {
    return R"({"name": "Xsource", "parameters": [
      { "id": 1, "name": "TONEMIX_DISTANCE", "type": "real", "min": 0, "max": 100 },
      { "id": 2, "name": "TONEMIX_OFFSET", "type": "real", "min": 0, "max": 100 },
      { "id": 3, "name": "TONEMIX_LIST_MODE", "type": "long", "default": )" +
           list_mode_default + R"(,
        "choices": [ { "value": 0, "label": "Include" }, { "value": 1, "label": "Exclude" } ] },
      { "id": 4, "name": "TONEMIX_LIGHTS", "type": "lightlist", "custom_type": 1009290 } ]})";
}

LoadedScene loaded(const std::string& more = "") {
    return {tmhost::parse_scene(R"({
      "camera": { "position": [0, 2, 6], "target": [0, 0, 0], "fov": 40 },
      "objects": [ { "type": "sphere", "name": "a", "center": [0, 1, 0], "radius": 1 } ],
      "lights": [ { "name": "one", "position": [0, 5, 0] },
                  { "name": "two", "position": [3, 5, 0] } ])" +
                                more + "}"),
            "s.json", std::nullopt};
}

std::string error_of(const std::function<void()>& action) {
    return tonemix_test::thrown_text<RenderError>(action);
}

TEST(RenderSceneSource, LightAssignmentsBecomeTheScenesLightList) {
    const Description sheet = Description::read(description_text());
    LoadedScene scene = loaded();
    const std::vector<std::string> others = tmhost::apply_light_assignments(
        sheet, scene, {"distance=2", "lights=two, one ,two", "no equals sign"});
    EXPECT_EQ(others, (std::vector<std::string>{"distance=2", "no equals sign"}));
    ASSERT_TRUE(scene.scene.light_list);
    EXPECT_EQ(scene.scene.light_list->lights, (std::vector<int>{1, 0}));
    EXPECT_EQ(scene.scene.light_list->mode, tmhost::ListMode::include);

    // A later assignment replaces the list and keeps its mode; a JSON array names them too.
    scene.scene.light_list->mode = tmhost::ListMode::exclude;
    tmhost::apply_light_assignments(sheet, scene, {R"(TONEMIX_LIGHTS=["one"])"});
    EXPECT_EQ(scene.scene.light_list->lights, (std::vector<int>{0}));
    EXPECT_EQ(scene.scene.light_list->mode, tmhost::ListMode::exclude);
    tmhost::apply_light_assignments(sheet, scene, {"lights="});
    EXPECT_TRUE(scene.scene.light_list->lights.empty());

    EXPECT_EQ(error_of([&] { tmhost::apply_light_assignments(sheet, scene, {"lights=[1]"}); }),
              "--set lights=[1]: expected light names, got 1");
    EXPECT_EQ(error_of([&] { tmhost::apply_light_assignments(sheet, scene, {"lights=[one"}); }),
              "--set lights=[one: expected names or a JSON array of them");
    EXPECT_EQ(error_of([&] { tmhost::apply_light_assignments(sheet, scene, {"lights=one,3"}); }),
              "--set lights=one,3: the scene has no light named \"3\" (it has: one, two)");
    LoadedScene dark = loaded();
    dark.scene.lights.clear();
    EXPECT_EQ(error_of([&] { tmhost::apply_light_assignments(sheet, dark, {"lights=one"}); }),
              "--set lights=one: the scene has no light named \"one\" (it has none)");
}

TEST(RenderSceneSource, ANewListTakesTheScenesModeElseTheShadersDefault) {
    const auto new_mode = [](const std::string& description, const std::string& more) {
        LoadedScene scene = loaded(more);
        tmhost::apply_light_assignments(Description::read(description), scene, {"lights=one"});
        return scene.scene.light_list->mode;
    };
    using tmhost::ListMode;
    EXPECT_EQ(new_mode(description_text("0"), ""), ListMode::include);
    EXPECT_EQ(new_mode(description_text("1"), ""), ListMode::exclude);
    EXPECT_EQ(new_mode(description_text("1"), R"(, "shader": {"list_mode": 0})"),
              ListMode::include);
    EXPECT_EQ(new_mode(description_text("0"), R"(, "shader": {"list_mode": 1})"),
              ListMode::exclude);
    // A shader that has no list mode: its lights are listed to be left out.
    EXPECT_EQ(new_mode(R"({"name": "Xlist", "parameters": [
      { "id": 4, "name": "TONEMIX_LIGHTS", "type": "lightlist", "custom_type": 1009290 } ]})",
                       ""),
              ListMode::exclude);
}

TEST(RenderSceneSource, TheStageLineNamesWhatNoAssignmentSets) {
    const Description sheet = Description::read(description_text());
    LoadedScene model = loaded();
    model.label = "m.obj";
    model.model = tmhost::ModelStage{};
    model.model->size = 2.0;
    model.model->distance = 0.5;
    model.model->offset = 0.00125;
    EXPECT_EQ(tmhost::stage_reach_line(sheet, model, {"lights=one", "plain"}),
              "m.obj: distance 0.5 and offset 0.0013 from the model's size of 2 (--set "
              "distance=D --set offset=O to change)");
    EXPECT_EQ(tmhost::stage_reach_line(sheet, model, {"TONEMIX_DISTANCE=1"}),
              "m.obj: offset 0.0013 from the model's size of 2 (--set offset=O to change)");
    EXPECT_EQ(tmhost::stage_reach_line(sheet, model, {"offset=1"}),
              "m.obj: distance 0.5 from the model's size of 2 (--set distance=D to change)");
    EXPECT_EQ(tmhost::stage_reach_line(sheet, model, {"offset=1", "distance=3"}), std::nullopt);
    EXPECT_EQ(tmhost::stage_reach_line(sheet, loaded(), {}), std::nullopt) << "no model";
    // A shader without the two values has nothing to be told.
    const Description bare = Description::read(R"({"name": "Xbare", "parameters": []})");
    EXPECT_EQ(tmhost::stage_reach_line(bare, model, {}), std::nullopt);
}

TEST(RenderSceneSource, AListModeNeedsAShaderWithALightList) {
    LoadedScene scene = loaded(R"(, "light_list": {"mode": "exclude", "lights": ["two"]})");
    const tmhost::SceneLights lights(scene.scene);
    const Description with_list = Description::read(description_text());
    const tmhost::ParameterValues values =
        tmhost::scene_parameter_values(with_list, scene, lights, {"distance=3"});
    ASSERT_NE(values.find(3), nullptr);
    EXPECT_EQ(values.find(3)->word, 1);
    ASSERT_NE(values.find(1), nullptr);
    EXPECT_EQ(values.find(1)->real, 3.0f);

    const Description no_mode = Description::read(R"({"name": "Xlist", "parameters": [
      { "id": 4, "name": "TONEMIX_LIGHTS", "type": "lightlist", "custom_type": 1009290 } ]})");
    EXPECT_EQ(error_of([&] { tmhost::scene_parameter_values(no_mode, scene, lights, {}); }),
              "s.json: light_list.mode: the shader has no light list");
    const Description no_list = Description::read(R"({"name": "Xmode", "parameters": [
      { "id": 3, "name": "TONEMIX_LIST_MODE", "type": "long" } ]})");
    EXPECT_EQ(error_of([&] { tmhost::scene_parameter_values(no_list, scene, lights, {}); }),
              "s.json: light_list.mode: the shader has no light list");
}

TEST(RenderSceneSource, OneSideGivenKeepsTheScenesShapeWithinTheLimits) {
    tmhost::Scene scene;
    scene.width = 640;
    scene.height = 480;
    const auto size = [&](std::optional<int> width, std::optional<int> height) {
        const tmhost::ImageSize got = tmhost::image_size(scene, width, height);
        return std::to_string(got.width) + "x" + std::to_string(got.height);
    };
    EXPECT_EQ(size(std::nullopt, std::nullopt), "640x480");
    EXPECT_EQ(size(320, std::nullopt), "320x240");
    EXPECT_EQ(size(std::nullopt, 100), "133x100");  // 133.3, to the nearest
    EXPECT_EQ(size(std::nullopt, 1), "1x1");        // 1.33
    EXPECT_EQ(size(1, std::nullopt), "1x1");        // 0.75 rounds up, and never below 1
    EXPECT_EQ(size(100, 7), "100x7");
    EXPECT_EQ(error_of([&] { size(20000, std::nullopt); }),
              "image 20000x15000 in the scene's shape: a side above 16384; give both --width "
              "and --height");
    EXPECT_EQ(error_of([&] { size(std::nullopt, 16384); }),
              "image 21845x16384 in the scene's shape: a side above 16384; give both --width "
              "and --height");
    EXPECT_EQ(error_of([&] { size(16384, 16384); }),
              "image 16384x16384: more than 16777216 pixels");
    EXPECT_EQ(size(16384, 1024), "16384x1024");
}

}  // namespace
