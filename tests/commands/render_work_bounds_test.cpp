// Work without a bound, refused before it starts in one line: scenes whose lights or planes
// multiply the work of every sample point, and scene or mesh files that are FIFOs, whose read
// would wait for a writer that never comes.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "emulation_limits.h"
#include "host/commands/command_error.h"
#include "host/commands/scene_shading.h"
#include "render_test_support.h"
#include "work_bound_scenes.h"

namespace {

using tonemix_test::CommandRun;
using tonemix_test::crowded_scene;
using tonemix_test::joined;
using tonemix_test::scene_of_mesh;

// The one error of a refused command, nothing on stdout and no image.
std::string refusal(const CommandRun& run, const std::string& image) {
    EXPECT_EQ(run.status, 2) << joined(run.report.out_lines);
    EXPECT_TRUE(run.report.out_lines.empty()) << joined(run.report.out_lines);
    EXPECT_FALSE(std::filesystem::exists(image)) << "an image was written";
    return run.error();
}

// Reading a million lights alone takes seconds: the count is refused before any is read.
TEST(WorkBounds, AMillionLightsAreRefusedBeforeTheyAreRead) {
    if (const std::string why =
            tonemix_test::no_large_sanitized_allocation("with a scene text of 70 MB");
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    tmhost::TemporaryFolder folder;
    const std::string scene = folder.write("lights.json", crowded_scene(1000000, 1)).string();
    const std::string image = (folder.path() / "out.png").string();
    EXPECT_EQ(refusal(tonemix_test::render({scene, "-o", image}), image),
              scene + ": lights: more than 65536 lights (1000000)");
}

TEST(WorkBounds, ManyLightsCountInEverySamplePoint) {
    tmhost::TemporaryFolder folder;
    const std::string scene = folder.write("lights.json", crowded_scene(5000, 1)).string();
    const std::string image = (folder.path() / "out.png").string();
    // 1280 x 960 pixels x 8 samples: 9830400 sample points, each asking for 5000 lights.
    EXPECT_EQ(
        refusal(tonemix_test::render({scene, "--width", "1280", "--height", "960", "-o", image}),
                image),
        "samples=8 at 1280x960: 9830400 sample points x 5000 lights x (1 + 1 plane) = "
        "98304000000 light tests, more than 34359738368 (--allow-long shades it anyway)");
    // One tile of 1000 lights is within the limit, the sheet's two are not.
    const std::string fewer = folder.write("fewer.json", crowded_scene(1000, 1)).string();
    EXPECT_EQ(refusal(tonemix_test::sheet({fewer, "--width", "1280", "--height", "960", "--vary",
                                           "distance=1,2", "-o", image}),
                      image),
              "2 tiles of 1280x960: 19660800 sample points x 1000 lights x (1 + 1 plane) = "
              "39321600000 light tests, more than 34359738368 (--allow-long shades it anyway)");
}

TEST(WorkBounds, ManyPlanesCountInEveryShadowTest) {
    tmhost::TemporaryFolder folder;
    const std::string endless = folder.write("endless.json", crowded_scene(1, 70000)).string();
    EXPECT_EQ(refusal(tonemix_test::render({endless, "-o", "never.png"}), "never.png"),
              endless + ": objects: more than 65536 planes (70000)");
    const std::string scene = folder.write("planes.json", crowded_scene(2, 20000)).string();
    const std::string image = (folder.path() / "out.png").string();
    EXPECT_EQ(
        refusal(tonemix_test::render({scene, "--width", "640", "--height", "480", "-o", image}),
                image),
        "samples=8 at 640x480: 2457600 sample points x 2 lights x (1 + 20000 planes) = "
        "98308915200 light tests, more than 34359738368 (--allow-long shades it anyway)");
}

std::string refused(long long sample_points, const tmhost::PointCost& cost,
                    const tmhost::WorkLimits& limits = {}) {
    try {
        tmhost::check_work(1, sample_points, cost, 0, "work", limits);
    } catch (const tmhost::UsageError& error) {
        return error.what();
    }
    return "";
}

// The limit is the product's: exactly at it is shaded, one sample point more is not, and a
// product past what 64 bits hold is still compared right.
TEST(WorkBounds, LightTestsAreLimitedAtTheProductItself) {
    EXPECT_EQ(refused(1LL << 31, {8, 1}), "");
    EXPECT_EQ(refused((1LL << 31) + 1, {8, 1}),
              "work: 2147483649 sample points x 8 lights x (1 + 1 plane) = 34359738384 light "
              "tests, more than 34359738368 (--allow-long shades it anyway)");
    // The most sample points of a scene of three lights and a plane, as before the lights counted.
    EXPECT_EQ(refused(1LL << 32, {3, 1}), "");
    // A scene without lights is shaded all the same: a sample point costs one test at least.
    EXPECT_EQ(refused(1LL << 31, {0, 15}), "");
    EXPECT_EQ(refused((1LL << 31) + 1, {0, 15}),
              "work: 2147483649 sample points x no light (counted as one) x (1 + 15 planes) = "
              "34359738384 light tests, more than 34359738368 (--allow-long shades it anyway)");
    EXPECT_EQ(refused(1LL << 32, {1LL << 40, 1LL << 40}),
              "work: 4294967296 sample points x 1099511627776 lights x (1 + 1099511627776 "
              "planes) = more than 18446744073709551615 light tests, more than 34359738368 "
              "(--allow-long shades it anyway)");
    EXPECT_EQ(refused(1LL << 27, {8, 1}, tmhost::serve_work_limits()), "");
    EXPECT_EQ(refused((1LL << 27) + 1, {8, 1}, tmhost::serve_work_limits()),
              "work: 134217729 sample points x 8 lights x (1 + 1 plane) = 2147483664 light tests, "
              "more than 2147483648 (serve --allow-long shades it anyway)");
    EXPECT_NO_THROW(tmhost::check_work(1, 1LL << 32, {1000000, 1}, "work", true));
    EXPECT_THROW(tmhost::check_work(1, 1LL << 32, {1000000, 1}, "work", false), tmhost::UsageError);
}

#ifndef _WIN32
// Nobody writes into these FIFOs: a read that waited would never come back.
TEST(WorkBounds, AFifoSceneOrMeshIsOneLine) {
    tmhost::TemporaryFolder folder;
    const std::string image = (folder.path() / "out.png").string();
    const std::string scene = (folder.path() / "scene.json").string();
    ASSERT_EQ(mkfifo(scene.c_str(), 0600), 0);
    EXPECT_EQ(refusal(tonemix_test::render({scene, "-o", image}), image),
              scene + ": cannot read: a FIFO, not a file");
    const std::string mesh = (folder.path() / "mesh.obj").string();
    ASSERT_EQ(mkfifo(mesh.c_str(), 0600), 0);
    const std::string with_mesh = folder.write("with-mesh.json", scene_of_mesh(mesh)).string();
    EXPECT_EQ(refusal(tonemix_test::render({with_mesh, "-o", image}), image),
              with_mesh + ": objects[0].file: " + mesh + ": cannot read: a FIFO, not a file");
    EXPECT_EQ(refusal(tonemix_test::render({mesh, "-o", image}), image),
              mesh + ": cannot read: a FIFO, not a file");
}
#else
TEST(WorkBounds, AFifoSceneOrMeshIsOneLine) {
    GTEST_SKIP() << "Windows has no FIFO in its file system";
}
#endif

}  // namespace
