// The render loop through the built module: an image repeats bit for bit for any number of
// threads, with its lanes or one node shared by every row, and with several rays a pixel; a watch
// sees the rows' flags set once each row is whole, and stops a render at whole rows.
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/loading/module_session.h"
#include "host/render/prepared_scene.h"
#include "host/render/progress_bar.h"
#include "host/render/scene_renderer.h"
#include "host/render/shading_run.h"

namespace {

using tmhost::Image;
using tmhost::RenderStats;
using tmhost::ShadeSettings;

constexpr int kWidth = 24;
constexpr int kHeight = 18;
// A render long enough to be stopped halfway: some quarter of a second.
constexpr int kSlowWidth = 32;
constexpr int kSlowHeight = 24;

// The built-in scene, small, shaded by the built module with its scene's values.
class RenderLoop : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = std::make_unique<tmhost::ModuleSession>(TONEMIX_MODULE_FILE);
        session_->require_shader();
        prepared_ = std::make_shared<const tmhost::PreparedScene>(tmhost::load_scene(std::nullopt));
        run_ = std::make_unique<tmhost::ShadingRun>(*session_, prepared_,
                                                    tmhost::ImageSize{kWidth, kHeight},
                                                    std::vector<std::string>{"samples=4"});
    }
    void TearDown() override {
        run_.reset();
        EXPECT_EQ(session_->finish(), std::vector<std::string>{});
    }

    RenderStats shade(const ShadeSettings& settings, Image& image,
                      tmhost::RenderWatch* watch = nullptr) {
        tmhost::ProgressBar progress(kHeight, false);
        return run_->shade(run_->values(), settings, image, progress, watch);
    }

    std::unique_ptr<tmhost::ModuleSession> session_;
    std::shared_ptr<const tmhost::PreparedScene> prepared_;
    std::unique_ptr<tmhost::ShadingRun> run_;
};

bool same_bits(const Image& a, const Image& b) {
    return a.values().size() == b.values().size() &&
           std::memcmp(a.values().data(), b.values().data(), a.values().size() * sizeof(float)) ==
               0;
}

TEST_F(RenderLoop, AnImageRepeatsForAnyThreadsAndOnlyTheLanesChangeIt) {
    ShadeSettings one;
    Image first(kWidth, kHeight);
    const RenderStats stats = shade(one, first);
    EXPECT_FALSE(stats.cancelled);
    // The built-in scene's floor fills the lower part of the view, its spheres the middle: most
    // rays meet something, and what is lit is not black.
    EXPECT_GT(stats.points, kWidth * kHeight / 2);
    EXPECT_LE(stats.points, kWidth * kHeight);
    EXPECT_GT(stats.lit_points, 0);

    for (int threads : {2, 3, 7}) {
        ShadeSettings many;
        many.threads = threads;
        Image again(kWidth, kHeight);
        const RenderStats repeated = shade(many, again);
        EXPECT_TRUE(same_bits(first, again)) << threads << " threads";
        EXPECT_EQ(repeated.points, stats.points);
        EXPECT_EQ(repeated.lit_points, stats.lit_points);
    }

    // Other lanes give each row another node, and so another stream of random draws.
    ShadeSettings lanes;
    lanes.lanes = 3;
    Image other(kWidth, kHeight);
    EXPECT_EQ(shade(lanes, other).points, stats.points);
    EXPECT_FALSE(same_bits(first, other));
    lanes.threads = 2;
    Image other_again(kWidth, kHeight);
    shade(lanes, other_again);
    EXPECT_TRUE(same_bits(other, other_again));

    // One node for every row: the draws follow the rows in the order the threads take them, so
    // only one thread repeats.
    ShadeSettings shared;
    shared.shared_node = true;
    Image one_node(kWidth, kHeight);
    Image one_node_again(kWidth, kHeight);
    EXPECT_EQ(shade(shared, one_node).points, stats.points);
    shade(shared, one_node_again);
    EXPECT_TRUE(same_bits(one_node, one_node_again));
}

TEST_F(RenderLoop, PixelSamplesAreShadedInOrderAndRepeat) {
    ShadeSettings four;
    four.pixel_samples = 4;
    Image image(kWidth, kHeight);
    const RenderStats stats = shade(four, image);
    ShadeSettings one;
    Image centres(kWidth, kHeight);
    const RenderStats centre_stats = shade(one, centres);
    // Four rays a pixel meet about four times as many points; not exactly, at the spheres' rims.
    EXPECT_GT(stats.points, 3 * centre_stats.points);
    EXPECT_LE(stats.points, 4LL * kWidth * kHeight);
    EXPECT_FALSE(same_bits(image, centres));

    four.threads = 3;
    Image again(kWidth, kHeight);
    shade(four, again);
    EXPECT_TRUE(same_bits(image, again));
}

TEST_F(RenderLoop, AWatchSeesEveryRowWholeAndStopsARenderAtWholeRows) {
    std::vector<std::atomic<unsigned char>> flags(kHeight);
    for (auto& flag : flags) flag = 0;
    tmhost::RenderWatch watch;
    watch.rows_done = flags.data();
    Image image(kWidth, kHeight);
    ShadeSettings two;
    two.threads = 2;
    const RenderStats stats = shade(two, image, &watch);
    EXPECT_FALSE(stats.cancelled);
    EXPECT_EQ(watch.rows.load(), kHeight);
    for (int row = 0; row < kHeight; ++row) EXPECT_EQ(flags[row].load(), 1) << "row " << row;

    // Cancelled before it starts: no thread takes a row, the image stays black, and the nodes
    // are given back whole (TearDown's finish() finds nothing left behind).
    tmhost::RenderWatch stopped;
    stopped.cancelled = true;
    Image untouched(kWidth, kHeight);
    const RenderStats none = shade(two, untouched, &stopped);
    EXPECT_TRUE(none.cancelled);
    EXPECT_EQ(none.points, 0);
    for (float value : untouched.values()) ASSERT_EQ(value, 0.0f);

    // Stopped while it runs, once its first row is whole: the rows it finished are whole and
    // flagged, the others black.
    tmhost::ShadingRun slow(*session_, prepared_, tmhost::ImageSize{kSlowWidth, kSlowHeight},
                            {"samples=1024"});
    Image slow_whole(kSlowWidth, kSlowHeight);
    tmhost::ProgressBar progress(kSlowHeight, false);
    slow.shade(slow.values(), two, slow_whole, progress, nullptr);
    std::vector<std::atomic<unsigned char>> some(kSlowHeight);
    for (auto& flag : some) flag = 0;
    tmhost::RenderWatch asked;
    asked.rows_done = some.data();
    std::thread stopper([&] {
        while (asked.rows.load() == 0) std::this_thread::yield();
        asked.cancelled = true;
    });
    Image part(kSlowWidth, kSlowHeight);
    const RenderStats partial = slow.shade(slow.values(), two, part, progress, &asked);
    stopper.join();
    int flagged = 0;
    for (int row = 0; row < kSlowHeight; ++row) {
        if (some[row].load() != 0) {
            ++flagged;
            for (int x = 0; x < kSlowWidth; ++x) {
                ASSERT_EQ(
                    std::memcmp(part.pixel(x, row), slow_whole.pixel(x, row), 3 * sizeof(float)), 0)
                    << "row " << row;
            }
        } else {
            for (int x = 0; x < kSlowWidth; ++x) ASSERT_EQ(part.pixel(x, row)[0], 0.0f);
        }
    }
    EXPECT_TRUE(partial.cancelled);
    EXPECT_GE(flagged, 1);
    EXPECT_EQ(flagged, asked.rows.load());
    // Each of the two threads finishes the row it shades; no row is started after the stop.
    EXPECT_LT(flagged, kSlowHeight);
}

}  // namespace
