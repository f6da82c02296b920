// Several camera rays a pixel: one is the pixel's centre bit for bit, more repeat for any number
// of threads, and they bring edges nearer to what many rays show.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/image/pfm_image.h"
#include "host/image/whole_file.h"
#include "host/render/pixel_samples.h"
#include "render_test_support.h"

namespace {

using tonemix_test::joined;

// The built-in scene small, its shader at one sample a point: no noise of its own, so that what
// differs between renders is the pixels' coverage of the edges alone.
tmhost::Image edges(const tmhost::TemporaryFolder& folder, const std::vector<std::string>& more) {
    const std::string output = (folder.path() / "edges.pfm").string();
    std::vector<std::string> arguments = {"--width", "48", "--set", "samples=1", "-o", output};
    arguments.insert(arguments.end(), more.begin(), more.end());
    const tonemix_test::CommandRun run = tonemix_test::render(arguments);
    EXPECT_EQ(run.status, 0) << joined(run.report.errors);
    return tmhost::read_pfm(output);
}

double mean_difference(const tmhost::Image& a, const tmhost::Image& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.values().size(); ++i) {
        sum += std::fabs(static_cast<double>(a.values()[i]) - b.values()[i]);
    }
    return sum / static_cast<double>(a.values().size());
}

TEST(RenderPixelSamples, OneIsThePixelsCentreBitForBit) {
    tmhost::TemporaryFolder folder;
    const std::string plain = (folder.path() / "plain.pfm").string();
    const std::string one = (folder.path() / "one.pfm").string();
    ASSERT_EQ(tonemix_test::render({"--width", "32", "-o", plain}).status, 0);
    ASSERT_EQ(tonemix_test::render({"--width", "32", "--pixel-samples", "1", "-o", one}).status, 0);
    EXPECT_EQ(tmhost::read_file(one), tmhost::read_file(plain));
    const tmhost::PixelPlace centre = tmhost::pixel_place(3, 4, 0, 1);
    EXPECT_EQ(centre.u, 0.5);
    EXPECT_EQ(centre.v, 0.5);
}

TEST(RenderPixelSamples, EachSampleKeepsToItsStratum) {
    for (const int count : {2, 4, 5, 16, 64}) {
        int columns = 1;
        while (columns * columns < count) ++columns;
        const int rows = (count + columns - 1) / columns;
        for (int i = 0; i < count; ++i) {
            const tmhost::PixelPlace place = tmhost::pixel_place(7, 9, i, count);
            EXPECT_GE(place.u * columns, i % columns) << count << " " << i;
            EXPECT_LT(place.u * columns, i % columns + 1) << count << " " << i;
            EXPECT_GE(place.v * rows, i / columns) << count << " " << i;
            EXPECT_LT(place.v * rows, i / columns + 1) << count << " " << i;
        }
    }
    // Neighbouring pixels do not repeat each other's places.
    EXPECT_NE(tmhost::pixel_place(0, 0, 0, 4).u, tmhost::pixel_place(1, 0, 0, 4).u);
}

TEST(RenderPixelSamples, FourRepeatForAnyThreadsAndComeNearerToManyAtTheEdges) {
    tmhost::TemporaryFolder folder;
    const tmhost::Image four = edges(folder, {"--pixel-samples", "4", "--threads", "1"});
    for (const char* threads : {"2", "8"}) {
        EXPECT_EQ(edges(folder, {"--pixel-samples", "4", "--threads", threads}).values(),
                  four.values())
            << threads << " threads";
    }
    const tmhost::Image many = edges(folder, {"--pixel-samples", "64"});
    const tmhost::Image one = edges(folder, {});
    const tmhost::Image sixteen = edges(folder, {"--pixel-samples", "16"});
    const double error_one = mean_difference(one, many);
    const double error_four = mean_difference(four, many);
    const double error_sixteen = mean_difference(sixteen, many);
    EXPECT_LT(error_four, error_one * 0.75) << error_one << " " << error_four;
    EXPECT_LT(error_sixteen, error_four) << error_four << " " << error_sixteen;
}

TEST(RenderPixelSamples, TheCountIsCheckedAndCountsInTheWorkLimit) {
    EXPECT_EQ(tonemix_test::render({"--pixel-samples", "0"}).error(),
              "--pixel-samples: expected a whole number from 1 to 64, got '0'");
    EXPECT_EQ(tonemix_test::render({"--pixel-samples", "65"}).error(),
              "--pixel-samples: expected a whole number from 1 to 64, got '65'");
    // 4096 x 4096 pixels, 64 rays each, 8 samples a point: 2^33 sample points.
    EXPECT_EQ(tonemix_test::render({"--width", "4096", "--height", "4096", "--pixel-samples", "64",
                                    "--set", "samples=8", "-o", "never.png"})
                  .error(),
              "samples=8 at 4096x4096, 64 pixel samples: 8589934592 sample points, more than "
              "4294967296 (--allow-long shades it anyway)");
}

}  // namespace
