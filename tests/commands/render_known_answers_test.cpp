// Renders through the built module of scenes whose every pixel follows by hand: a wall whose face
// looks at the camera and at the lights, lit by point lights without falloff.
//
// The comparisons are exact. Every colour and intensity below is a short binary fraction, so
// each step on the way is exact in float: the host's colour × intensity (in double, then
// rounded to float), the shader's sum over the lights and its mean over equal sums, and the
// host's product with the object's colour. The background is stored as read, so it comes back
// as the same float.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace {

using tonemix_test::render_image;
using Colour = std::vector<float>;

constexpr int kWidth = 8;
constexpr int kHeight = 6;
const Colour kBackground = {0.0625f, 0.125f, 0.375f};
const Colour kWall = {0.5f, 0.25f, 0.75f};
const Colour kBlack = {0.0f, 0.0f, 0.0f};

// The camera on the z axis looks at the origin; the wall's face is the plane z = 0 for x from
// -100 to 0. With an even width no pixel centre lies on x = 0, so the left half of the columns
// meets the face and the right half meets nothing. The lights stand in front of the face, so
// with shadows on nothing stands between a lifted point (z = 1) and a light either.
std::string wall_scene(const std::string& lights, const std::string& shader,
                       const std::string& light_list = "") {
    const std::string head = R"({
  "camera": { "position": [0, 0, 5], "target": [0, 0, 0], "fov": 40 },
  "image": { "width": 8, "height": 6 },
  "background": [0.0625, 0.125, 0.375],
  "objects": [
    { "type": "box", "name": "wall", "min": [-100, -100, -1], "max": [0, 100, 0],
      "colour": [0.5, 0.25, 0.75] }
  ],
)";
    const std::string list = light_list.empty() ? "" : light_list + ",\n";
    return head + "\"lights\": [" + lights + "],\n" + list + "\"shader\": {" + shader + "}\n}";
}

// Light colour × intensity: (0.75, 0.5, 0.125) × 2 = (1.5, 1, 0.25).
const std::string kKey =
    R"({ "name": "key", "position": [-2, 1, 4], "colour": [0.75, 0.5, 0.125], "intensity": 2 })";
// (0.25, 0.5, 0.5) × 0.5 = (0.125, 0.25, 0.25), at full strength within its reference distance.
const std::string kFill = R"({ "name": "fill", "position": [-1, -1, 3], "colour": [0.25, 0.5, 0.5],
    "intensity": 0.5, "falloff": "inverse_square", "reference_distance": 1000 })";
// Takes away (0.25, 0.25, 0.5).
const std::string kDrain =
    R"({ "name": "drain", "position": [-3, 0, 2], "colour": [0.25, 0.25, 0.5], "intensity": -1 })";

const std::string kOneSample = R"("samples": 1, "shadows": false)";

// The wall's colour times `light` on the left half, the background on the right half.
::testing::AssertionResult wall_lit_by(const tmhost::Image& image, const Colour& light) {
    if (image.width() != kWidth || image.height() != kHeight) {
        return ::testing::AssertionFailure() << "image " << image.width() << "x" << image.height()
                                             << ", expected " << kWidth << "x" << kHeight;
    }
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            for (int c = 0; c < 3; ++c) {
                const float expected = x < kWidth / 2 ? kWall[c] * light[c] : kBackground[c];
                const float actual = image.pixel(x, y)[c];
                if (actual != expected) {
                    return ::testing::AssertionFailure()
                           << "pixel (" << x << ", " << y << ") channel " << c << ": expected "
                           << expected << ", got " << actual;
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

class RenderKnownAnswers : public ::testing::Test {
protected:
    tmhost::Image render_scene(const std::string& text, std::vector<std::string> arguments = {}) {
        arguments.insert(arguments.begin(),
                         folder.write("scene" + std::to_string(++scenes) + ".json", text).string());
        return render_image(folder, arguments);
    }

    tmhost::TemporaryFolder folder;
    int scenes = 0;
};

TEST_F(RenderKnownAnswers, OneLightGivesTheObjectColourTimesTheLightColour) {
    EXPECT_TRUE(wall_lit_by(render_scene(wall_scene(kKey, kOneSample)), {1.5f, 1.0f, 0.25f}));
    // A reference distance beyond every point gives the same as no falloff.
    EXPECT_TRUE(wall_lit_by(render_scene(wall_scene(kFill, kOneSample)), {0.125f, 0.25f, 0.25f}));
}

TEST_F(RenderKnownAnswers, WithoutShadowsOrFalloffTheSamplePointsChangeNothing) {
    // Wherever the points fall, even inside the wall, each one gets the whole light: the mean
    // of eight equal sums is that sum.
    const Colour key = {1.5f, 1.0f, 0.25f};
    for (const char* mode : {"scatter", "1"}) {
        SCOPED_TRACE(mode);
        EXPECT_TRUE(wall_lit_by(render_scene(wall_scene(kKey, R"("samples": 8, "shadows": false)"),
                                             {"--set", std::string("mode=") + mode}),
                                key));
    }
    // The lifted point of one sample sees the light across open space.
    EXPECT_TRUE(
        wall_lit_by(render_scene(wall_scene(kKey, R"("samples": 1, "shadows": true)")), key));
}

TEST_F(RenderKnownAnswers, NoSamplesGiveBlack) {
    EXPECT_TRUE(
        wall_lit_by(render_scene(wall_scene(kKey, R"("samples": 0, "shadows": false)")), kBlack));
}

TEST_F(RenderKnownAnswers, TheLightListDecidesWhetherTheOnlyLightCounts) {
    EXPECT_TRUE(wall_lit_by(
        render_scene(wall_scene(kKey, kOneSample,
                                R"("light_list": { "mode": "exclude", "lights": ["key"] })")),
        kBlack));
    EXPECT_TRUE(wall_lit_by(
        render_scene(wall_scene(kKey, kOneSample,
                                R"("light_list": { "mode": "include", "lights": ["key"] })")),
        {1.5f, 1.0f, 0.25f}));
}

TEST_F(RenderKnownAnswers, TwoLightsAddAndTheListPicksEitherOne) {
    const std::string both = kKey + ", " + kFill;
    // (1.5, 1, 0.25) + (0.125, 0.25, 0.25)
    EXPECT_TRUE(wall_lit_by(render_scene(wall_scene(both, kOneSample)), {1.625f, 1.25f, 0.5f}));
    EXPECT_TRUE(wall_lit_by(
        render_scene(wall_scene(both, kOneSample,
                                R"("light_list": { "mode": "include", "lights": ["fill"] })")),
        {0.125f, 0.25f, 0.25f}));
    EXPECT_TRUE(wall_lit_by(
        render_scene(wall_scene(both, kOneSample,
                                R"("light_list": { "mode": "exclude", "lights": ["fill"] })")),
        {1.5f, 1.0f, 0.25f}));
}

TEST_F(RenderKnownAnswers, ANegativeLightTakesAwayDownToZero) {
    EXPECT_TRUE(wall_lit_by(render_scene(wall_scene(kDrain, kOneSample)), kBlack));
    // (1.5, 1, 0.25) - (0.25, 0.25, 0.5): only the channel that went below zero is clamped.
    EXPECT_TRUE(wall_lit_by(render_scene(wall_scene(kKey + ", " + kDrain, kOneSample)),
                            {1.25f, 0.75f, 0.0f}));
}

}  // namespace
