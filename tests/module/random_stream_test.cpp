// The shader's random streams, bit for bit. Uniform values are exact in any IEEE double arithmetic;
// the Gaussian ones also rest on the math library's logarithm, and both builds must agree on them.
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "random_stream.h"

namespace {

uint64_t bits(double value) {
    uint64_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
}

TEST(RandomStream, ConstructionSeedsWith100AndNoSpare) {
    RandomStream stream;
    EXPECT_EQ(stream.seed, 100);
    EXPECT_EQ(stream.has_spare, 0);
}

TEST(RandomStream, UniformDrawsFromSeed100) {
    RandomStream stream;
    const struct {
        int32_t seed;
        double value;
        uint64_t bits;
    } expected[] = {
        {6975969, -0.9935031225904822, 0xbfefcac70f800000ull},
        {786934778, -0.26710987649858, 0xbfd1185406000000ull},
        {2134603519, 0.9880044450983405, 0x3fef9dbb7f800000ull},
    };
    for (const auto& e : expected) {
        double value = stream.uniform_signed();
        EXPECT_EQ(stream.seed, e.seed);
        EXPECT_EQ(bits(value), e.bits);
        EXPECT_EQ(value, e.value);
        EXPECT_EQ(value, e.seed / 1073741824.0 - 1.0);
    }
}

TEST(RandomStream, NegativeAndLargestSeedsBothStepToZero) {
    for (int32_t seed : {-1, 2147483647}) {
        RandomStream stream;
        stream.reseed(seed);
        EXPECT_EQ(stream.uniform_signed(), -1.0) << seed;
        EXPECT_EQ(stream.seed, 0);
        stream.uniform_signed();
        EXPECT_EQ(stream.seed, 69069);
    }
}

TEST(RandomStream, UniformStaysInsideHalfOpenRange) {
    EXPECT_EQ(RandomStream::uniform_of(0), -1.0);
    EXPECT_EQ(RandomStream::uniform_of(0x7FFFFFFF), 1.0 - 1.0 / 1073741824.0);
    EXPECT_EQ(RandomStream::uniform_of(1u << 30), 0.0);
}

// One scattered sample with Gaussian draws: three gauss_spread, then gauss_centered.
TEST(RandomStream, SharedGaussianStateFromDefaultSeed) {
    RandomStream stream;
    stream.reseed(23082003);

    double first = stream.gauss_spread();
    EXPECT_EQ(bits(first), 0xbfd16f962a863ee8ull);
    EXPECT_NEAR(first, -0.27243570, 5e-9);
    EXPECT_EQ(stream.seed, 659201281);
    EXPECT_EQ(stream.has_spare, 1);
    EXPECT_NEAR(stream.spare, -0.93349433, 5e-8);

    double second = stream.gauss_spread();
    EXPECT_EQ(bits(second), 0xbfc581f93d70a3d7ull);
    EXPECT_NEAR(second, -0.16802898, 5e-9);
    EXPECT_EQ(stream.seed, 659201281);
    EXPECT_EQ(stream.has_spare, 0);

    double third = stream.gauss_spread();
    EXPECT_EQ(bits(third), 0x3fc4dd14246f346bull);
    EXPECT_NEAR(third, 0.16299679, 5e-9);
    EXPECT_EQ(stream.seed, 1610817311);
    EXPECT_NEAR(stream.spare, 0.84097517, 5e-8);

    // The spare cached by gauss_spread comes back scaled the centred way.
    double centred = stream.gauss_centered();
    EXPECT_EQ(bits(centred), 0x3fe26c08bf5c28f6ull);
    EXPECT_NEAR(centred, 0.57568776, 5e-9);
    EXPECT_EQ(stream.seed, 1610817311);
    EXPECT_EQ(stream.has_spare, 0);
}

TEST(RandomStream, TwoCentredDrawsUseOnePair) {
    RandomStream stream;
    stream.reseed(23082003);
    double first = stream.gauss_centered();
    double second = stream.gauss_centered();
    EXPECT_EQ(bits(first), 0x3fd74834eabce08cull);
    EXPECT_EQ(bits(second), 0x3fda9f81b0a3d70aull);
    EXPECT_NEAR(first, 0.36378215, 5e-9);
    EXPECT_NEAR(second, 0.41598551, 5e-9);
    EXPECT_EQ(stream.seed, 659201281);  // two steps of 69069 * s + 69069, 31 bits
}

TEST(RandomStream, UniformDrawBetweenPairLeavesSpare) {
    RandomStream stream;
    stream.reseed(23082003);
    stream.gauss_centered();
    double uniform = stream.uniform_signed();
    // The third state, 1572525210, read as 2 * (s / 2^31) - 1.
    EXPECT_EQ(bits(uniform), 0x3fddbad49a000000ull);
    EXPECT_EQ(stream.has_spare, 1);
    double second = stream.gauss_centered();
    EXPECT_EQ(bits(second), 0x3fda9f81b0a3d70aull);
    EXPECT_EQ(stream.seed, 1572525210);
}

TEST(RandomStream, ReseedDropsSpare) {
    RandomStream stream;
    stream.reseed(23082003);
    stream.gauss_spread();
    ASSERT_EQ(stream.has_spare, 1);
    stream.reseed(23082003);
    EXPECT_EQ(stream.has_spare, 0);
    // A fresh pair runs again: the first value repeats instead of the cached partner.
    EXPECT_EQ(bits(stream.gauss_spread()), 0xbfd16f962a863ee8ull);
    EXPECT_EQ(stream.seed, 659201281);
}

TEST(RandomStream, RejectedPairCostsTwoSteps) {
    // From seed 1 the first pair (states 138138 and 951187999, uniforms -0.99987 and -0.11414)
    // lies outside the unit circle, so the value comes from the second pair: four steps.
    RandomStream stream;
    stream.reseed(1);
    double value = stream.gauss_spread();
    EXPECT_EQ(stream.seed, 416079085);
    EXPECT_EQ(bits(value), 0xbfb424dc09b1fdd7ull);
}

TEST(RandomStream, SameSeedRepeatsMixedSequence) {
    RandomStream a, b;
    a.reseed(-12345);
    b.reseed(static_cast<int32_t>(static_cast<uint32_t>(-12345) + 0x80000000u));
    for (int i = 0; i < 1000; ++i) {
        double x = (i % 3 == 0)   ? a.uniform_signed()
                   : (i % 3 == 1) ? a.gauss_spread()
                                  : a.gauss_centered();
        double y = (i % 3 == 0)   ? b.uniform_signed()
                   : (i % 3 == 1) ? b.gauss_spread()
                                  : b.gauss_centered();
        ASSERT_EQ(bits(x), bits(y)) << i;
    }
}

}  // namespace
