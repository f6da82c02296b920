// Where the sample points fall, drawn from a stream seeded like a render's.
#include <cmath>

#include <gtest/gtest.h>

#include "sample_points.h"

namespace {

const float kStart[3] = {1.0f, 2.0f, 3.0f};
const float kNormal[3] = {0.0f, 1.0f, 0.0f};

TEST(SamplePoints, ScatterUniformDrawsThreeUniformsThenCentredScale) {
    SamplingRule rule = {MODE_SCATTER, 0, 0, 20.0f, 20.0f / 3.0f};
    RandomStream random, expected;
    random.reseed(23082003);
    expected.reseed(23082003);
    for (int i = 1; i < 3; ++i) {
        float point[3];
        sample_point(rule, kStart, kNormal, i, random, point);
        float r[3];
        for (float& v : r) v = static_cast<float>(expected.uniform_signed());
        double g = expected.gauss_centered();
        for (int k = 0; k < 3; ++k) {
            float reach = r[k] * 20.0f;
            EXPECT_EQ(point[k], static_cast<float>(reach * g + kStart[k])) << i << k;
        }
    }
    // The second sample's scale was the first pair's cached partner.
    EXPECT_EQ(random.has_spare, 0);
    EXPECT_EQ(random.seed, expected.seed);
}

TEST(SamplePoints, ScatterGaussianSharesPairsAcrossGenerators) {
    SamplingRule rule = {MODE_SCATTER, 1, 1, 20.0f, 10.0f};
    RandomStream random, expected;
    random.reseed(23082003);
    expected.reseed(23082003);
    float point[3];
    sample_point(rule, kStart, kNormal, 1, random, point);
    float r0 = static_cast<float>(expected.gauss_spread());  // fresh pair
    float r1 = static_cast<float>(expected.gauss_spread());  // its partner
    float r2 = static_cast<float>(expected.gauss_spread());  // fresh pair
    double g = expected.gauss_centered();                    // partner of the third draw's pair
    EXPECT_NEAR(g, 0.57568776, 5e-9);
    const float r[3] = {r0, r1, r2};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(point[k], static_cast<float>(static_cast<float>(r[k] * 20.0f) * g + kStart[k]));
    }
    EXPECT_EQ(random.seed, 1610817311);
}

TEST(SamplePoints, EvenLineIsSymmetricAboutStart) {
    // Four samples over 20 units: the start moved back by 10, then steps of 5.
    SamplingRule rule = {MODE_ALONG_NORMAL, 0, 1, 20.0f, 20.0f / 4.0f};
    ASSERT_TRUE(rule.even_line());
    const float moved[3] = {1.0f, 2.0f - 10.0f, 3.0f};
    RandomStream random;
    const float expected_y[] = {-3.0f, 2.0f, 7.0f};
    for (int i = 1; i < 4; ++i) {
        float point[3];
        sample_point(rule, moved, kNormal, i, random, point);
        EXPECT_EQ(point[0], 1.0f);
        EXPECT_EQ(point[1], expected_y[i - 1]);
        EXPECT_EQ(point[2], 3.0f);
    }
    EXPECT_EQ(random.seed, 100) << "the even line draws nothing";
}

TEST(SamplePoints, JitteredUniformLineStaysWithinDistance) {
    SamplingRule rule = {MODE_ALONG_NORMAL, 1, 0, 20.0f, 0.0f};
    ASSERT_FALSE(rule.even_line());
    RandomStream random;
    random.reseed(42);
    float lowest = 1e9f, highest = -1e9f;
    for (int i = 1; i < 2000; ++i) {
        float point[3];
        sample_point(rule, kStart, kNormal, i, random, point);
        EXPECT_EQ(point[0], kStart[0]);
        EXPECT_EQ(point[2], kStart[2]);
        lowest = std::fmin(lowest, point[1]);
        highest = std::fmax(highest, point[1]);
    }
    EXPECT_GE(lowest, kStart[1] - 20.0f);
    EXPECT_LE(highest, kStart[1] + 20.0f);
    // Both halves of the range are reached: the start is not moved back.
    EXPECT_LT(lowest, kStart[1] - 15.0f);
    EXPECT_GT(highest, kStart[1] + 15.0f);
}

TEST(SamplePoints, JitteredGaussianLineDrawsOneSpreadPerSample) {
    SamplingRule rule = {MODE_ALONG_NORMAL, 1, 1, 20.0f, 0.0f};
    RandomStream random, expected;
    random.reseed(23082003);
    expected.reseed(23082003);
    for (int i = 1; i < 4; ++i) {
        float point[3];
        sample_point(rule, kStart, kNormal, i, random, point);
        double r = expected.gauss_spread();
        EXPECT_EQ(point[1], static_cast<float>(static_cast<float>(1.0f * 20.0f) * r + 2.0f));
    }
}

TEST(SamplePoints, UnknownModeScattersLikeZero) {
    SamplingRule unknown = {7, 0, 1, 20.0f, 0.0f};
    SamplingRule scatter = {MODE_SCATTER, 0, 1, 20.0f, 0.0f};
    RandomStream a, b;
    float pa[3], pb[3];
    sample_point(unknown, kStart, kNormal, 1, a, pa);
    sample_point(scatter, kStart, kNormal, 1, b, pb);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(pa[k], pb[k]);
    EXPECT_NE(pa[0], 0.0f);
}

}  // namespace
