// Renders through the built module of scenes with something very far away: what lies near the
// camera comes out as it does without it, bit for bit, and a light far overhead still lights
// and shades the ground.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/scene/builtin_scene.h"
#include "render_test_support.h"

namespace {

using nlohmann::json;
using tonemix_test::render_image;
using tonemix_test::render_pfm_bytes;

const std::vector<std::string> kSmall = {"--width", "32", "--height", "24"};

// The built-in scene with one more object, written to the folder as `name`.
std::string builtin_with(const tmhost::TemporaryFolder& folder, const std::string& name,
                         const json& object) {
    json scene = json::parse(tmhost::builtin_scene_json());
    scene["objects"].push_back(object);
    return folder.write(name, scene.dump(2)).string();
}

json far_sphere(const std::vector<double>& center, double radius) {
    return {{"type", "sphere"}, {"name", "far"}, {"center", center}, {"radius", radius}};
}

std::vector<std::string> small(const std::string& scene) {
    std::vector<std::string> arguments{scene};
    arguments.insert(arguments.end(), kSmall.begin(), kSmall.end());
    return arguments;
}

bool same_pixel(const tmhost::Image& a, const tmhost::Image& b, int x, int y) {
    for (int c = 0; c < 3; ++c) {
        if (a.pixel(x, y)[c] != b.pixel(x, y)[c]) return false;
    }
    return true;
}

bool is_colour(const tmhost::Image& image, int x, int y, const float (&colour)[3]) {
    for (int c = 0; c < 3; ++c) {
        if (image.pixel(x, y)[c] != colour[c]) return false;
    }
    return true;
}

TEST(RenderFarScene, ASphereTenMillionUnitsBehindTheCameraChangesNoBit) {
    tmhost::TemporaryFolder folder;
    const std::string without = render_pfm_bytes(folder, kSmall, "without.pfm");
    const std::string scene = builtin_with(folder, "behind.json", far_sphere({0, 0, 1e7}, 1));
    const std::string with = render_pfm_bytes(folder, small(scene), "with.pfm");
    ASSERT_FALSE(without.empty());
    EXPECT_TRUE(with == without);
}

TEST(RenderFarScene, AFarSphereInViewChangesOnlyTheSkyAroundIt) {
    tmhost::TemporaryFolder folder;
    const tmhost::Image without = render_image(folder, kSmall);
    // Ten million units ahead, a tenth of that across, rising above the horizon.
    const std::string scene = builtin_with(folder, "ahead.json", far_sphere({0, 5e5, -1e7}, 1e6));
    const tmhost::Image with = render_image(folder, small(scene));
    ASSERT_EQ(without.width(), 32);
    ASSERT_EQ(with.width(), 32);
    const float sky[3] = {0.02f, 0.02f, 0.03f};
    int near = 0;
    int far = 0;
    for (int y = 0; y < without.height(); ++y) {
        for (int x = 0; x < without.width(); ++x) {
            if (!is_colour(without, x, y, sky)) {
                ++near;
                EXPECT_TRUE(same_pixel(with, without, x, y)) << "pixel (" << x << ", " << y << ")";
            } else if (!same_pixel(with, without, x, y)) {
                ++far;
            }
        }
    }
    EXPECT_GT(near, 600);  // the ground and the objects on it fill most of the image
    EXPECT_GT(far, 0);     // and the far sphere shows above them
}

TEST(RenderFarScene, ALightFarOverheadLightsTheGroundAndCastsTheBallsShadow) {
    tmhost::TemporaryFolder folder;
    const std::string scene = folder
                                  .write("sun.json", R"({
  "camera": { "position": [0, 2.5, 7], "target": [0, 0.8, 0], "fov": 40 },
  "image": { "width": 48, "height": 32 },
  "background": [0.125, 0.25, 0.375],
  "objects": [
    { "type": "plane", "name": "floor", "point": [0, 0, 0], "normal": [0, 1, 0] },
    { "type": "sphere", "name": "ball", "center": [0, 1, 0], "radius": 1,
      "colour": [0.5, 0.5, 0.5] }
  ],
  "lights": [ { "name": "sun", "position": [0, 1e17, 0], "colour": [1, 0.75, 0.5] } ],
  "shader": { "samples": 1 }
})")
                                  .string();
    const tmhost::Image image = render_image(folder, {scene});
    ASSERT_EQ(image.width(), 48);
    // One sample: each point gets the light's colour, or nothing where the ball stands between.
    const float lit_floor[3] = {1.0f, 0.75f, 0.5f};
    const float lit_ball[3] = {0.5f, 0.375f, 0.25f};
    const float shadow[3] = {0.0f, 0.0f, 0.0f};
    const float sky[3] = {0.125f, 0.25f, 0.375f};
    int floor = 0;
    int ball = 0;
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (is_colour(image, x, y, lit_floor)) {
                ++floor;
            } else if (is_colour(image, x, y, lit_ball)) {
                ++ball;
            } else if (is_colour(image, x, y, shadow)) {
                ++dark;
            } else {
                EXPECT_TRUE(is_colour(image, x, y, sky)) << "pixel (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_GT(floor, 0);
    EXPECT_GT(ball, 0);  // its upper half
    EXPECT_GT(dark, 0);  // its lower half and the ground beneath it
}

}  // namespace
