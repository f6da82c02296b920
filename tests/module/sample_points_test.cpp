// Where the sample points fall, drawn from a stream seeded like a render's.
#include <cmath>

#include <gtest/gtest.h>

#include "sample_points.h"

namespace {

const float kStart[3] = {1.0f, 2.0f, 3.0f};
const float kNormal[3] = {0.0f, 1.0f, 0.0f};

// The expected points below were worked out apart from the module, from the stream's definition
// and the roundings of the sampling rules, from the default seed 23082003.

TEST(SamplePoints, ScatterUniformDrawsThreeUniformsThenCentredScale) {
    SamplingRule rule = {MODE_SCATTER, 0, 0, 20.0f, 20.0f / 3.0f};
    RandomStream random;
    random.reseed(23082003);
    // Sample 1: uniforms -0.23811531, -0.38607097, 0.46452823 (each 20 ×, rounded to float),
    // then the scale 0.42820261 of a fresh Gaussian pair.
    const float expected[2][3] = {
        {-0x1.0a0b1ap+0f, -0x1.4e6bc4p+0f, 0x1.be9b8cp+2f},  // -1.0392319, -1.3063319, 6.9782438
        {-0x1.4c2d72p+3f, 0x1.5a0d7p+3f, 0x1.9369cep+3f},    // -10.380548, 10.81414, 12.606666
    };
    for (int i = 1; i < 3; ++i) {
        float point[3];
        drawn_point(rule, kStart, kNormal, random, point);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(point[k], expected[i - 1][k]) << i << k;
    }
    // The second sample's scale was the first pair's cached partner: eight steps in all.
    EXPECT_EQ(random.has_spare, 0);
    EXPECT_EQ(random.seed, 1925585131);
}

TEST(SamplePoints, ScatterGaussianSharesPairsAcrossGenerators) {
    SamplingRule rule = {MODE_SCATTER, 1, 1, 20.0f, 10.0f};
    RandomStream random;
    random.reseed(23082003);
    float point[3];
    drawn_point(rule, kStart, kNormal, random, point);
    // Spreads -0.27243570 (fresh pair), -0.16802898 (its partner), 0.16299679 (fresh pair), then
    // the scale 0.57568776 from the third draw's partner; each reach 20 × spread in float.
    EXPECT_EQ(point[0], -0x1.118148p+1f);  // -2.1367579
    EXPECT_EQ(point[1], 0x1.0bb236p-4f);   // 0.065355502
    EXPECT_EQ(point[2], 0x1.381bfp+2f);    // 4.8767052
    EXPECT_EQ(random.has_spare, 0);
    EXPECT_EQ(random.seed, 1610817311);
}

TEST(SamplePoints, EvenLineIsSymmetricAboutStart) {
    // Four samples over 20 units: the start moved back by 10, then steps of 5.
    SamplingRule rule = {MODE_ALONG_NORMAL, 0, 1, 20.0f, 20.0f / 4.0f};
    ASSERT_TRUE(rule.even_line());
    const float moved[3] = {1.0f, 2.0f - 10.0f, 3.0f};
    const float expected_y[] = {-3.0f, 2.0f, 7.0f};
    for (int i = 1; i < 4; ++i) {
        float point[3];
        even_line_point(rule, moved, kNormal, i, point);
        EXPECT_EQ(point[0], 1.0f);
        EXPECT_EQ(point[1], expected_y[i - 1]);
        EXPECT_EQ(point[2], 3.0f);
    }
}

TEST(SamplePoints, JitteredUniformLineStaysWithinDistance) {
    SamplingRule rule = {MODE_ALONG_NORMAL, 1, 0, 20.0f, 0.0f};
    ASSERT_FALSE(rule.even_line());
    RandomStream random;
    random.reseed(42);
    float lowest = 1e9f, highest = -1e9f;
    for (int i = 1; i < 2000; ++i) {
        float point[3];
        drawn_point(rule, kStart, kNormal, random, point);
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
    RandomStream random;
    random.reseed(23082003);
    // 2 + 20 × the spreads -0.27243570, -0.16802898, 0.16299679: the third takes a fresh pair.
    const float expected_y[] = {-0x1.b96f76p+1f, -0x1.5c4ef2p+0f, 0x1.50a2cap+2f};
    for (int i = 1; i < 4; ++i) {
        float point[3];
        drawn_point(rule, kStart, kNormal, random, point);
        EXPECT_EQ(point[0], 1.0f);
        EXPECT_EQ(point[1], expected_y[i - 1]) << i;  // -3.448714, -1.3605796, 5.2599359
        EXPECT_EQ(point[2], 3.0f);
    }
    EXPECT_EQ(random.has_spare, 1);
    EXPECT_EQ(random.seed, 1610817311);
}

TEST(SamplePoints, UnknownModeScattersLikeZero) {
    SamplingRule unknown = {7, 0, 1, 20.0f, 0.0f};
    SamplingRule scatter = {MODE_SCATTER, 0, 1, 20.0f, 0.0f};
    RandomStream a, b;
    float pa[3], pb[3];
    drawn_point(unknown, kStart, kNormal, a, pa);
    drawn_point(scatter, kStart, kNormal, b, pb);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(pa[k], pb[k]);
    // From the construction seed 100, worked out like the points above.
    EXPECT_EQ(pa[0], -0x1.7f2baep-1f);  // -0.74838012
    EXPECT_EQ(pa[1], 0x1.64112ap+0f);   // 1.3908869
    EXPECT_EQ(pa[2], 0x1.0205aep+2f);   // 4.0315967
}

}  // namespace
