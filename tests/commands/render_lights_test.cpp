// What a user checks by eye in a render, as assertions: a light left out by the light list or by
// its own exclusions adds nothing, and shadows take light away.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "render_test_support.h"

namespace {

using tonemix_test::render_image;

// A floor, a ball and a slab floating above the floor's middle; a light straight above the slab
// and a second light off to the side. `list` is a "light_list" member, or empty.
std::string scene_text(const std::string& lights, const std::string& list = "") {
    return R"({
  "camera": { "position": [0, 3, 6], "target": [0, 0, 0], "fov": 40 },
  "image": { "width": 24, "height": 16 },
  "background": [0.1, 0.2, 0.3],
  "objects": [
    { "type": "plane", "name": "floor", "point": [0, 0, 0], "normal": [0, 1, 0] },
    { "type": "sphere", "name": "ball", "center": [1.5, 0.5, 1], "radius": 0.5 },
    { "type": "box", "name": "slab", "min": [-1, 1, -1], "max": [1, 1.2, 1] }
  ],
  "lights": [)" +
           lights + R"(],
  )" + (list.empty() ? "" : list + ",") +
           R"(
  "shader": { "samples": 6, "distance": 0.3, "offset": 0.02 }
})";
}

const std::string kAbove = R"({ "name": "above", "position": [0, 5, 0], "colour": [1, 0.9, 0.8] })";
const std::string kSide =
    R"({ "name": "side", "position": [4, 2, 3], "colour": [0.2, 0.4, 1], "shadows": false })";

std::string write_scene(const tmhost::TemporaryFolder& folder, const std::string& name,
                        const std::string& text) {
    return folder.write(name, text).string();
}

std::vector<float> pixels(const tmhost::Image& image) { return image.values(); }

TEST(RenderLights, ALightLeftOutByTheListAddsNothing) {
    tmhost::TemporaryFolder folder;
    const tmhost::Image alone =
        render_image(folder, {write_scene(folder, "alone.json", scene_text(kAbove))});
    ASSERT_GT(alone.width(), 0);
    const std::string both = kAbove + ", " + kSide;
    const tmhost::Image excluded = render_image(
        folder,
        {write_scene(
            folder, "excluded.json",
            scene_text(both, R"("light_list": { "mode": "exclude", "lights": ["side"] })"))});
    const tmhost::Image included = render_image(
        folder,
        {write_scene(
            folder, "included.json",
            scene_text(both, R"("light_list": { "mode": "include", "lights": ["above"] })"))});
    const tmhost::Image with_side =
        render_image(folder, {write_scene(folder, "with_side.json", scene_text(both))});

    // The side light is skipped before it is asked, and the random draws do not depend on the
    // lights: the images are the same bits, not just close.
    EXPECT_EQ(pixels(excluded), pixels(alone));
    EXPECT_EQ(pixels(included), pixels(alone));
    EXPECT_NE(pixels(with_side), pixels(alone)) << "the side light should show when counted";
}

TEST(RenderLights, ALightsOwnExclusionsLeaveThoseObjectsUnlitByIt) {
    tmhost::TemporaryFolder folder;
    const std::string side_not_on_floor =
        R"({ "name": "side", "position": [4, 2, 3], "colour": [0.2, 0.4, 1], "shadows": false,
             "exclude": ["floor", "slab"] })";
    const tmhost::Image image =
        render_image(folder, {write_scene(folder, "own.json", scene_text(side_not_on_floor))});
    ASSERT_GT(image.width(), 0);
    // The bottom row sees only floor, the side light's only target is the ball.
    for (int x = 0; x < image.width(); ++x) {
        const float* pixel = image.pixel(x, image.height() - 1);
        EXPECT_EQ(pixel[0] + pixel[1] + pixel[2], 0.0f) << "floor pixel " << x;
    }
    float ball = 0.0f;
    for (float value : image.values()) ball += value;
    EXPECT_GT(ball, 0.0f) << "the ball is lit by the side light";
}

TEST(RenderLights, ShadowsTakeLightAwayFromAShadowedPoint) {
    tmhost::TemporaryFolder folder;
    const std::string path = write_scene(folder, "shadow.json", scene_text(kAbove));
    // Sample points scattered below the floor would be shadowed by the floor itself; lifted
    // by more than the scatter's reach, every one stays above it.
    const tmhost::Image on =
        render_image(folder, {path, "--set", "shadows=true", "--set", "offset=0.5"});
    const tmhost::Image off =
        render_image(folder, {path, "--set", "TONEMIX_SHADOWS=false", "--set", "offset=0.5"});
    ASSERT_GT(on.width(), 0);
    ASSERT_GT(off.width(), 0);
    // The middle of the image is the floor under the slab (the ray passes below the slab's
    // front edge), in the slab's shadow from the light straight above.
    const int x = on.width() / 2;
    const int y = on.height() / 2;
    for (int c = 0; c < 3; ++c) {
        EXPECT_LT(on.pixel(x, y)[c], off.pixel(x, y)[c]) << "channel " << c;
    }
    // A floor point in the open, at the bottom of the image, gets the same either way.
    EXPECT_GT(off.pixel(0, on.height() - 1)[0], 0.0f);
    EXPECT_EQ(on.pixel(0, on.height() - 1)[0], off.pixel(0, on.height() - 1)[0]);
}

}  // namespace

namespace {

// --set lights=NAMES stands for the scene's light list, so that a preview page's light boxes have
// a command line: the same bits as the list written in the file, in either mode.
TEST(RenderLights, ALightListGivenBySetIsTheListTheFileWouldGive) {
    tmhost::TemporaryFolder folder;
    const std::string both = kAbove + ", " + kSide;
    const std::string unlisted = write_scene(folder, "unlisted.json", scene_text(both));
    const std::string listed =
        write_scene(folder, "listed.json",
                    scene_text(both, R"("light_list": { "mode": "include", "lights": ["side"] })"));
    const std::string excluded =
        write_scene(folder, "excluded.json",
                    scene_text(both, R"("light_list": { "mode": "exclude", "lights": ["side"] })"));
    const std::vector<float> only_above = pixels(render_image(folder, {excluded}));
    ASSERT_FALSE(only_above.empty());

    // A scene without a list gets one in the default mode, exclude.
    EXPECT_EQ(pixels(render_image(folder, {unlisted, "--set", "lights=side"})), only_above);
    // The file's mode stays; the names are replaced.
    EXPECT_EQ(pixels(render_image(folder, {listed, "--set", "lights=above"})), only_above);
    EXPECT_EQ(pixels(render_image(folder,
                                  {listed, "--set", "lights=[\"side\"]", "--set", "list_mode=1"})),
              only_above);
    // An empty include list lets no light in.
    const std::string none =
        write_scene(folder, "none.json",
                    scene_text(both, R"("light_list": { "mode": "include", "lights": [] })"));
    EXPECT_EQ(pixels(render_image(folder, {unlisted, "--set", "lights=", "--set",
                                           "list_mode=include only listed lights"})),
              pixels(render_image(folder, {none})));

    const tonemix_test::CommandRun unknown =
        tonemix_test::render({unlisted, "--set", "lights=sun"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.error(),
              "--set lights=sun: the scene has no light named \"sun\" (it has: above, side)");
    const tonemix_test::CommandRun described =
        tonemix_test::describe({listed, "--json", "--set", "lights=side, above"});
    EXPECT_EQ(described.status, 0);
    const nlohmann::json sheet =
        nlohmann::json::parse(tonemix_test::joined(described.report.out_lines));
    for (const nlohmann::json& parameter : sheet["parameters"]) {
        if (parameter["short_name"] == "lights") {
            EXPECT_EQ(parameter["value"], nlohmann::json({"side", "above"}));
        }
    }
}

}  // namespace
