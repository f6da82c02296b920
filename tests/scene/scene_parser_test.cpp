// Scene files that parse: every field lands where it belongs, defaults fill the rest, and the
// scenes that ship (the examples, the documented example, the built-in scene) all load.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/image/whole_file.h"
#include "host/scene/builtin_scene.h"
#include "host/scene/scene_parser.h"

namespace {

using namespace tmhost;
namespace fs = std::filesystem;

void expect_vec3(const Vec3& actual, const Vec3& expected) {
    EXPECT_EQ(actual.x, expected.x);
    EXPECT_EQ(actual.y, expected.y);
    EXPECT_EQ(actual.z, expected.z);
}

TEST(SceneParser, EveryFieldIsRead) {
    const Scene scene = parse_scene(R"({
      "camera": { "position": [1, 2, 3], "target": [0, 0.5, 0], "up": [0, 0, 1], "fov": 35.5 },
      "objects": [
        { "type": "plane", "name": "floor", "point": [0, -1, 0], "normal": [0, 3, 4] },
        { "type": "sphere", "name": "ball", "center": [1, 0, -2], "radius": 0.75,
          "colour": [0.5, 0.25, 1] },
        { "type": "box", "name": "crate", "min": [-1, 0, -1], "max": [1, 2, 1] }
      ],
      "lights": [
        { "name": "key", "position": [5, 6, 7], "colour": [1, 0.5, 0.25], "intensity": 2.5,
          "falloff": "inverse_square", "reference_distance": 4, "shadows": false,
          "exclude": ["crate", "floor"] },
        { "name": "fill", "position": [0, 9, 0], "falloff": "linear" }
      ],
      "light_list": { "mode": "include", "lights": ["fill", "key"] },
      "shader": { "samples": 16, "TONEMIX_DISTANCE": 2.5, "anything": [1, "two"] },
      "image": { "width": 320, "height": 200 },
      "background": [0.1, 0.2, 0.3]
    })");
    expect_vec3(scene.camera.position, {1, 2, 3});
    expect_vec3(scene.camera.target, {0, 0.5, 0});
    expect_vec3(scene.camera.up, {0, 0, 1});
    EXPECT_EQ(scene.camera.fov_degrees, 35.5);

    ASSERT_EQ(scene.objects.size(), 3u);
    EXPECT_EQ(scene.objects[0].name, "floor");
    const Plane& plane = std::get<Plane>(scene.objects[0].shape);
    expect_vec3(plane.point, {0, -1, 0});
    expect_vec3(plane.normal, {0, 0.6, 0.8});  // made unit length
    const Sphere& sphere = std::get<Sphere>(scene.objects[1].shape);
    expect_vec3(sphere.center, {1, 0, -2});
    EXPECT_EQ(sphere.radius, 0.75);
    EXPECT_EQ(scene.objects[1].colour, (Colour{0.5f, 0.25f, 1.0f}));
    const Box& box = std::get<Box>(scene.objects[2].shape);
    expect_vec3(box.min, {-1, 0, -1});
    expect_vec3(box.max, {1, 2, 1});
    EXPECT_EQ(scene.objects[2].colour, (Colour{1.0f, 1.0f, 1.0f}));

    ASSERT_EQ(scene.lights.size(), 2u);
    const Light& key = scene.lights[0];
    EXPECT_EQ(key.name, "key");
    expect_vec3(key.position, {5, 6, 7});
    EXPECT_EQ(key.colour, (Colour{1.0f, 0.5f, 0.25f}));
    EXPECT_EQ(key.intensity, 2.5f);
    EXPECT_EQ(key.falloff, Falloff::inverse_square);
    EXPECT_EQ(key.reference_distance, 4.0);
    EXPECT_FALSE(key.shadows);
    EXPECT_EQ(key.excluded_objects, (std::vector<int>{0, 2}));  // by index, ascending
    EXPECT_EQ(scene.lights[1].falloff, Falloff::linear);

    ASSERT_TRUE(scene.light_list);
    EXPECT_EQ(scene.light_list->mode, ListMode::include);
    EXPECT_EQ(scene.light_list->lights, (std::vector<int>{1, 0}));

    EXPECT_EQ(scene.shader.size(), 3u);
    EXPECT_EQ(scene.shader["samples"], 16);
    EXPECT_EQ(scene.shader["TONEMIX_DISTANCE"], 2.5);
    EXPECT_EQ(scene.shader["anything"][1], "two");
    EXPECT_EQ(scene.width, 320);
    EXPECT_EQ(scene.height, 200);
    EXPECT_EQ(scene.background, (Colour{0.1f, 0.2f, 0.3f}));
}

TEST(SceneParser, DefaultsFillWhatIsLeftOut) {
    const Scene scene = parse_scene(R"({
      "camera": { "position": [0, 0, 5], "target": [0, 0, 0], "fov": 45 },
      "lights": [ { "name": "only", "position": [0, 1, 0] } ]
    })");
    expect_vec3(scene.camera.up, {0, 1, 0});
    EXPECT_TRUE(scene.objects.empty());
    const Light& light = scene.lights.at(0);
    EXPECT_EQ(light.colour, (Colour{1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(light.intensity, 1.0f);
    EXPECT_EQ(light.falloff, Falloff::none);
    EXPECT_EQ(light.reference_distance, 1.0);
    EXPECT_TRUE(light.shadows);
    EXPECT_TRUE(light.excluded_objects.empty());
    EXPECT_FALSE(scene.light_list);
    EXPECT_TRUE(scene.shader.is_object());
    EXPECT_TRUE(scene.shader.empty());
    EXPECT_EQ(scene.width, 640);
    EXPECT_EQ(scene.height, 480);
    EXPECT_EQ(scene.background, (Colour{0.0f, 0.0f, 0.0f}));
}

TEST(SceneParser, BuiltinSceneParsesAndShowsTheLightList) {
    const Scene scene = parse_scene(builtin_scene_json());
    EXPECT_EQ(scene.lights.size(), 3u);
    int spheres = 0;
    int boxes = 0;
    int planes = 0;
    for (const SceneObject& object : scene.objects) {
        spheres += std::holds_alternative<Sphere>(object.shape);
        boxes += std::holds_alternative<Box>(object.shape);
        planes += std::holds_alternative<Plane>(object.shape);
    }
    EXPECT_EQ(planes, 1);
    EXPECT_GE(spheres, 2);
    EXPECT_GE(boxes, 1);
    ASSERT_TRUE(scene.light_list);
    EXPECT_EQ(scene.light_list->mode, ListMode::exclude);
    EXPECT_EQ(scene.light_list->lights.size(), 1u);
    for (const Light& light : scene.lights) EXPECT_TRUE(light.shadows) << light.name;
    EXPECT_EQ(scene.shader.at("TONEMIX_SAMPLES"), 32);
}

TEST(SceneParser, ExampleScenesLoad) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(TONEMIX_SOURCE_DIR) / "scenes")) {
        if (entry.path().extension() != ".json") continue;
        ++count;
        EXPECT_NO_THROW(load_scene_file(entry.path().string())) << entry.path();
    }
    EXPECT_GE(count, 3);
}

TEST(SceneParser, DocumentedExampleParses) {
    const std::string doc =
        read_file((fs::path(TONEMIX_SOURCE_DIR) / "docs" / "scenes.md").string());
    const std::size_t start = doc.find("```json\n");
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = doc.find("```", start + 8);
    ASSERT_NE(end, std::string::npos);
    const Scene scene = parse_scene(doc.substr(start + 8, end - start - 8));
    EXPECT_FALSE(scene.objects.empty());
    EXPECT_FALSE(scene.lights.empty());
}

}  // namespace
