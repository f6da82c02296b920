// The warning when the shader's reach does not fit the scene: shown for a small scene under the
// module's defaults, by render, sheet and describe alike, and for none of the example scenes.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace {

using tonemix_test::joined;

// A unit block on a floor, with no shader block: the module's defaults (distance 20, offset 1).
const char* const kBareBox = R"({
  "camera": { "position": [0, 2, 5], "target": [0, 0.5, 0], "fov": 40 },
  "image": { "width": 16, "height": 9 },
  "objects": [
    { "type": "plane", "name": "floor", "point": [0, 0, 0], "normal": [0, 1, 0] },
    { "type": "box", "name": "block", "min": [-0.5, 0, -0.5], "max": [0.5, 1, 0.5] }
  ],
  "lights": [ { "name": "key", "position": [2, 4, 3] } ]
})";

// sqrt(3) = 1.73 across; 0.4 and 0.015 of it suggested.
const char* const kBareBoxWarning =
    "the shader's reach does not fit the scene: distance 20 is more than 5 times and offset 1 "
    "more than half the scene's extent of 1.7 (the diagonal of its objects' bounds, planes left "
    "out); try --set distance=0.69 --set offset=0.026";

TEST(RenderReach, ASmallSceneUnderTheDefaultsIsWarnedOfOnce) {
    tmhost::TemporaryFolder folder;
    const std::string scene = folder.write("bare.json", kBareBox).string();
    const std::string output = (folder.path() / "bare.png").string();
    for (const tonemix_test::CommandRun& run :
         {tonemix_test::render({scene, "-o", output}),
          tonemix_test::sheet({scene, "--vary", "samples=1,2", "-o", output}),
          tonemix_test::describe({scene})}) {
        EXPECT_EQ(run.status, 0) << joined(run.report.errors);
        EXPECT_EQ(run.report.warnings, std::vector<std::string>{kBareBoxWarning});
    }
    // The values it suggests fit; so does a distance alone within its bound.
    const tonemix_test::CommandRun fitted = tonemix_test::render(
        {scene, "--set", "distance=0.69", "--set", "offset=0.026", "-o", output});
    EXPECT_TRUE(fitted.report.warnings.empty()) << joined(fitted.report.warnings);
    const tonemix_test::CommandRun distance_only =
        tonemix_test::render({scene, "--set", "offset=0.5", "--set", "distance=8", "-o", output});
    EXPECT_TRUE(distance_only.report.warnings.empty()) << joined(distance_only.report.warnings);
    const tonemix_test::CommandRun offset_high =
        tonemix_test::describe({scene, "--set", "distance=1", "--set", "offset=0.9"});
    EXPECT_EQ(offset_high.report.warnings,
              std::vector<std::string>{"the shader's reach does not fit the scene: offset 0.9 "
                                       "more than half the scene's extent of 1.7 (the diagonal of "
                                       "its objects' bounds, planes left out); try --set "
                                       "offset=0.026"});
}

TEST(RenderReach, NoExampleSceneIsWarnedOf) {
    std::vector<std::string> scenes = {""};  // the built-in scene
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(TONEMIX_SOURCE_DIR) + "/scenes")) {
        if (entry.path().extension() == ".json") scenes.push_back(entry.path().string());
    }
    ASSERT_GT(scenes.size(), 10u);
    for (const std::string& scene : scenes) {
        const tonemix_test::CommandRun run = tonemix_test::describe(
            scene.empty() ? std::vector<std::string>{} : std::vector<std::string>{scene});
        EXPECT_EQ(run.status, 0) << scene << ": " << joined(run.report.errors);
        EXPECT_TRUE(run.report.warnings.empty()) << scene << ": " << joined(run.report.warnings);
    }
}

}  // namespace
