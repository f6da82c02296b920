// A render's lanes: the image does not depend on how many threads shade it, rows of different
// lanes draw independent noise, one lane is a single node shading every row in order, and one
// node shared by all threads still gives a whole image.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace {

using tonemix_test::render_image;
using tonemix_test::render_pfm_bytes;
using tonemix_test::source_path;

std::vector<std::string> small(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--width", "48", "--height", "32"});
    return arguments;
}

// A plane seen from straight above, lit by a far light off to one side: the light changes
// almost linearly across the image, so what is left after taking out the linear part is the
// shader's sampling noise.
const char* const kFlatPlane = R"({
  "camera": { "position": [0, 10, 0.001], "target": [0, 0, 0], "fov": 30 },
  "image": { "width": 96, "height": 64 },
  "objects": [ { "type": "plane", "name": "floor", "point": [0, 0, 0], "normal": [0, 1, 0] } ],
  "lights": [ { "name": "lamp", "position": [3, 30, 2], "falloff": "inverse_square",
                "reference_distance": 10 } ],
  "shader": { "samples": 4, "distance": 1 }
})";

// Each pixel's red value less the mean of its left and right neighbours; then the correlation
// of row y's residuals with row y + 1's, over the whole image.
double adjacent_row_correlation(const tmhost::Image& image) {
    const auto residual = [&](int x, int y) {
        return image.pixel(x, y)[0] - 0.5 * (image.pixel(x - 1, y)[0] + image.pixel(x + 1, y)[0]);
    };
    double sum_a = 0, sum_b = 0, sum_aa = 0, sum_bb = 0, sum_ab = 0;
    long n = 0;
    for (int y = 0; y + 1 < image.height(); ++y) {
        for (int x = 1; x + 1 < image.width(); ++x) {
            const double a = residual(x, y);
            const double b = residual(x, y + 1);
            sum_a += a;
            sum_b += b;
            sum_aa += a * a;
            sum_bb += b * b;
            sum_ab += a * b;
            ++n;
        }
    }
    const double covariance = sum_ab - sum_a * sum_b / n;
    const double spread = std::sqrt((sum_aa - sum_a * sum_a / n) * (sum_bb - sum_b * sum_b / n));
    return spread > 0 ? covariance / spread : 1.0;  // no noise at all would be no test
}

bool same_row(const tmhost::Image& a, const tmhost::Image& b, int y) {
    for (int x = 0; x < a.width(); ++x) {
        for (int c = 0; c < 3; ++c) {
            if (a.pixel(x, y)[c] != b.pixel(x, y)[c]) return false;
        }
    }
    return true;
}

TEST(RenderLanes, AnyNumberOfThreadsGivesTheSameImageBitForBit) {
    tmhost::TemporaryFolder folder;
    for (const std::string& scene : {std::string(), source_path("scenes/box_on_plane.json")}) {
        for (const char* lanes : {"64", "5"}) {
            SCOPED_TRACE((scene.empty() ? "built-in scene" : scene) + ", lanes " + lanes);
            std::vector<std::string> arguments = small({"--lanes", lanes});
            if (!scene.empty()) arguments.push_back(scene);
            const auto with = [&](const char* threads) {
                std::vector<std::string> threaded = arguments;
                threaded.insert(threaded.end(), {"--threads", threads});
                return render_pfm_bytes(folder, threaded, std::string("t") + threads + ".pfm");
            };
            const std::string one = with("1");
            ASSERT_FALSE(one.empty());
            for (const char* threads : {"2", "3", "8"}) {
                EXPECT_TRUE(with(threads) == one) << threads << " threads";
            }
        }
    }
}

TEST(RenderLanes, AdjacentRowsDrawUncorrelatedNoiseForEveryLaneCount) {
    tmhost::TemporaryFolder folder;
    const std::string scene = folder.write("flat.json", kFlatPlane).string();
    for (const char* lanes : {"1", "2", "8", "64"}) {
        for (const char* threads : {"1", "3"}) {
            SCOPED_TRACE(std::string("lanes ") + lanes + ", threads " + threads);
            const tmhost::Image image =
                render_image(folder, {scene, "--lanes", lanes, "--threads", threads});
            ASSERT_EQ(image.height(), 64);
            EXPECT_LT(std::fabs(adjacent_row_correlation(image)), 0.1);
        }
    }
}

TEST(RenderLanes, OneLaneIsOneNodeShadingEveryRowInOrder) {
    tmhost::TemporaryFolder folder;
    const std::string one_lane = render_pfm_bytes(folder, small({"--lanes", "1"}), "lane.pfm");
    // A shared node with one thread gets every row in order too, with the scene's own seed.
    const std::string one_node =
        render_pfm_bytes(folder, small({"--shared-node", "--threads", "1"}), "node.pfm");
    ASSERT_FALSE(one_lane.empty());
    EXPECT_TRUE(one_lane == one_node);

    // Lane 0 starts with the scene's seed whatever the lane count; lane 1 starts elsewhere.
    // Every pixel of the plane is shaded, so every row shows its lane's draws.
    const std::string scene = folder.write("flat.json", kFlatPlane).string();
    const tmhost::Image one = render_image(folder, small({scene, "--lanes", "1"}));
    const tmhost::Image two = render_image(folder, small({scene, "--lanes", "2"}));
    ASSERT_EQ(two.height(), one.height());
    EXPECT_TRUE(same_row(one, two, 0));
    EXPECT_FALSE(same_row(one, two, 1));
}

TEST(RenderLanes, LanesBeyondTheImageHeightShadeNothingAndChangeNoOtherLane) {
    // With 64 lanes a 24-row image has one row per lane; with 24 lanes, too.
    tmhost::TemporaryFolder folder;
    const std::vector<std::string> size = {"--width", "16", "--height", "24"};
    std::vector<std::string> wide = size, exact = size;
    wide.insert(wide.end(), {"--lanes", "64"});
    exact.insert(exact.end(), {"--lanes", "24"});
    const std::string a = render_pfm_bytes(folder, wide, "wide.pfm");
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == render_pfm_bytes(folder, exact, "exact.pfm"));
}

TEST(RenderLanes, ASharedNodeShadedByManyThreadsGivesAWholeImage) {
    tmhost::TemporaryFolder folder;
    // The plane fills the image and the lamp reaches the lifted point of every pixel, so every
    // pixel is lit whatever its sample points draw.
    const std::string flat = folder.write("flat.json", kFlatPlane).string();
    const tmhost::Image image = render_image(
        folder, small({flat, "--shared-node", "--threads", "4", "--set", "samples=4"}));
    ASSERT_EQ(image.width(), 48);
    ASSERT_EQ(image.height(), 32);
    for (float value : image.values()) {
        ASSERT_TRUE(std::isfinite(value));
        ASSERT_GE(value, 0.0f);
    }
    long lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const float* rgb = image.pixel(x, y);
            if (rgb[0] > 0.0f && rgb[1] > 0.0f && rgb[2] > 0.0f) ++lit;
        }
    }
    EXPECT_EQ(lit, 48 * 32);

    // With one sample a point draws nothing, so the order in which the threads take the rows
    // changes no pixel: the built-in scene, with its light list and shadows, comes out as one
    // thread shades it, bit for bit.
    const auto one_sample = [&](const char* threads) {
        return render_pfm_bytes(
            folder, small({"--shared-node", "--threads", threads, "--set", "samples=1"}),
            std::string("t") + threads + ".pfm");
    };
    const std::string alone = one_sample("1");
    ASSERT_FALSE(alone.empty());
    EXPECT_TRUE(one_sample("4") == alone);
}

}  // namespace
