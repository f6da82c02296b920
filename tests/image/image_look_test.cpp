// Exposure and tone maps: powers of two exact, the filmic curve monotone from 0, and Reinhard's
// luminance scale keeping a colour's hue; the tone maps by their option names, and each 8-bit
// code's threshold the light at which the encoder turns to it.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "host/image/image_look.h"
#include "host/image/srgb.h"

namespace {

using namespace tmhost;

TEST(ImageLook, WholeExposuresArePowersOfTwoAndTheRestTheirRoots) {
    for (int ev = -20; ev <= 20; ++ev) EXPECT_EQ(exposure_scale(ev), std::ldexp(1.0, ev)) << ev;
    // 2^0.5 and 2^-1.5 against the library's square root, which is exact to the last bit: the
    // series sums within a unit of the last place.
    EXPECT_NEAR(exposure_scale(0.5), std::sqrt(2.0), 2.3e-16);
    EXPECT_NEAR(exposure_scale(-1.5), 1.0 / (2.0 * std::sqrt(2.0)), 1.2e-16);
    EXPECT_NEAR(exposure_scale(1.0 / 3.0), std::cbrt(2.0), 2.3e-16);
    EXPECT_LT(exposure_scale(0.999), 2.0);
}

TEST(ImageLook, TheFilmicCurveRisesFromZeroToOne) {
    EXPECT_EQ(filmic_curve(0.0f), 0.0f);
    EXPECT_EQ(filmic_curve(-1.0f), 0.0f);
    EXPECT_EQ(filmic_curve(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(filmic_curve(std::numeric_limits<float>::infinity()), 1.0f);
    EXPECT_EQ(filmic_curve(8.0f), 1.0f);  // the curve passes 1 near 7.24, then is clamped
    float before = 0.0f;
    for (int i = 1; i <= 20000; ++i) {
        const float x = static_cast<float>(i) * 0.0005f;  // up to 10
        const float y = filmic_curve(x);
        ASSERT_GE(y, before) << "at " << x;
        before = y;
    }
    // Mid-grey stays about where it was; a light of 2 is below white.
    EXPECT_NEAR(filmic_curve(0.18f), 0.2669f, 1e-4f);
    EXPECT_LT(filmic_curve(2.0f), 0.95f);
}

TEST(ImageLook, ReinhardScalesByLuminanceAndExposureMultiplies) {
    Image image(3, 1);
    image.pixel(0, 0)[0] = 3.0f;  // red: luminance 0.6378
    image.pixel(1, 0)[1] = 1.0f;  // green: luminance 0.7152
    float* white = image.pixel(2, 0);
    white[0] = white[1] = white[2] = 4.0f;  // luminance 4
    Image exposed = image;
    expose(exposed, 0.5);
    EXPECT_EQ(exposed.pixel(2, 0)[1], 2.0f);
    tone_map(image, ToneMap::reinhard);
    EXPECT_NEAR(image.pixel(0, 0)[0], 3.0 / 1.6378, 1e-6);
    EXPECT_EQ(image.pixel(0, 0)[1], 0.0f);
    EXPECT_NEAR(image.pixel(1, 0)[1], 1.0 / 1.7152, 1e-6);
    EXPECT_NEAR(image.pixel(2, 0)[0], 0.8, 1e-6);
    EXPECT_EQ(image.pixel(2, 0)[0], image.pixel(2, 0)[2]) << "grey stays grey";
    Image clamped = exposed;
    tone_map(clamped, ToneMap::clamp);
    EXPECT_EQ(clamped.values(), exposed.values()) << "clamp leaves it to the encoder";
}

TEST(ImageLook, ToneMapsByTheNamesTheOptionTakes) {
    EXPECT_EQ(tone_map_named("clamp"), ToneMap::clamp);
    EXPECT_EQ(tone_map_named("reinhard"), ToneMap::reinhard);
    EXPECT_EQ(tone_map_named("filmic"), ToneMap::filmic);
    for (const char* other : {"", "Filmic", "aces", "filmic "}) {
        EXPECT_EQ(tone_map_named(other), std::nullopt) << other;
    }
    Image image(1, 1);
    image.pixel(0, 0)[0] = 8.0f;
    image.pixel(0, 0)[1] = 0.18f;
    tone_map(image, ToneMap::filmic);
    EXPECT_EQ(image.pixel(0, 0)[0], filmic_curve(8.0f));
    EXPECT_EQ(image.pixel(0, 0)[1], filmic_curve(0.18f));
    EXPECT_EQ(image.pixel(0, 0)[2], 0.0f);
}

TEST(ImageLook, EachCodesThresholdIsWhereTheEncoderTurnsToIt) {
    EXPECT_EQ(srgb_threshold(0), 0.0f);
    EXPECT_EQ(srgb_threshold(256), 0.0f);
    EXPECT_EQ(srgb_threshold(-1), 0.0f);
    for (int code = 1; code <= 255; ++code) {
        const float threshold = srgb_threshold(code);
        ASSERT_EQ(srgb_code(threshold), code) << code;
        ASSERT_EQ(srgb_code(std::nextafter(threshold, 0.0f)), code - 1) << code;
    }
}

}  // namespace
