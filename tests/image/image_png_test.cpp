// PNG files through stb_image_write, read back by stb_image: the same 8-bit pixels as the file
// the host wrote before for the same image (tests/image_references/ramps.png, built here from a
// formula, independent of any render; written again once, when PNGs became sRGB), and
// compressed; the sRGB codes against the transfer worked out apart.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "host/image/image.h"
#include "host/image/pfm_image.h"
#include "host/image/png_image.h"
#include "host/image/whole_file.h"
#include "image_decoders.h"

namespace {

using namespace tmhost;
using tonemix_test::decode_png;
using tonemix_test::PngPixels;

std::string source_file(const std::string& relative) {
    return std::string(TONEMIX_SOURCE_DIR) + "/" + relative;
}

// Squared ramps cross every step of the 8-bit scale; the first row's blue channel holds the
// values a clamp must get right. tests/image_references/ramps.png is this image.
Image ramps() {
    Image image(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float t = static_cast<float>(y * 64 + x) / 4095.0f;
            float* rgb = image.pixel(x, y);
            rgb[0] = t * t;
            rgb[1] = (1.0f - t) * (1.0f - t);
            rgb[2] = t * 1.5f - 0.25f;
        }
    }
    image.pixel(0, 0)[2] = std::numeric_limits<float>::quiet_NaN();
    image.pixel(1, 0)[2] = std::numeric_limits<float>::infinity();
    image.pixel(2, 0)[2] = -std::numeric_limits<float>::infinity();
    image.pixel(3, 0)[2] = -0.0f;
    image.pixel(4, 0)[2] = std::numeric_limits<float>::denorm_min();
    image.pixel(5, 0)[2] = std::nextafter(1.0f, 0.0f);
    return image;
}

void expect_same_pixels(const PngPixels& expected, const PngPixels& actual, const char* name) {
    ASSERT_TRUE(expected.reason.empty()) << name << ": " << expected.reason;
    ASSERT_TRUE(actual.reason.empty()) << name << ": " << actual.reason;
    EXPECT_EQ(actual.channels, 3) << name;
    EXPECT_EQ(actual.width, expected.width) << name;
    EXPECT_EQ(actual.height, expected.height) << name;
    ASSERT_EQ(actual.bytes.size(), expected.bytes.size()) << name;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < actual.bytes.size(); ++i) {
        if (actual.bytes[i] != expected.bytes[i] && differing++ == 0) {
            ADD_FAILURE() << name << ": first difference at byte " << i << ": expected "
                          << int{expected.bytes[i]} << ", got " << int{actual.bytes[i]};
        }
    }
    EXPECT_EQ(differing, 0u) << name;
}

TEST(ImagePng, HoldsThePixelsOfTheEarlierStoredFile) {
    expect_same_pixels(decode_png(read_file(source_file("tests/image_references/ramps.png"))),
                       decode_png(encode_png(ramps())), "ramps");
}

TEST(ImagePng, ClampedValuesReadBackAsTheirBytes) {
    const PngPixels pixels = decode_png(encode_png(ramps()));
    ASSERT_TRUE(pixels.reason.empty()) << pixels.reason;
    // Blue of the first six pixels: NaN, +inf, -inf, -0, the smallest subnormal, just below 1.
    const int expected[6] = {0, 255, 0, 0, 0, 255};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(pixels.bytes[3 * x + 2], expected[x]) << "pixel " << x;
    // t = 1 at the last pixel: red 1, green 0, blue 1.25.
    const std::size_t last = pixels.bytes.size() - 3;
    EXPECT_EQ(pixels.bytes[last], 255);
    EXPECT_EQ(pixels.bytes[last + 1], 0);
    EXPECT_EQ(pixels.bytes[last + 2], 255);
}

// Each threshold from the transfer in long double, apart from the table: the smallest float at or
// above the light where the code begins gives the code, the float below it the code before.
TEST(ImagePng, SrgbCodesBeginWhereTheTransferSays) {
    for (const int code : {1, 2, 10, 11, 128, 254, 255}) {
        const long double encoded = (code - 0.5L) / 255.0L;
        const long double light =
            encoded <= 0.04045L ? encoded / 12.92L : std::pow((encoded + 0.055L) / 1.055L, 2.4L);
        float threshold = static_cast<float>(light);
        if (static_cast<long double>(threshold) < light) {
            threshold = std::nextafter(threshold, 2.0f);
        }
        EXPECT_EQ(display_byte(threshold), code) << code;
        EXPECT_EQ(display_byte(std::nextafter(threshold, 0.0f)), code - 1) << code;
    }
}

TEST(ImagePng, StartsWithAnRgbHeaderOfEightBitsAndNoInterlace) {
    Image image(2, 1);
    const std::string png = encode_png(image);
    const std::string expected =
        std::string("\x89PNG\r\n\x1a\n", 8) +
        // IHDR: 2 x 1, 8 bits, RGB, deflate, no filter method, no interlace, its CRC
        std::string("\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x01\x08\x02\0\0\0\x7b\x40\xe8\xdd", 25) +
        // sRGB: perceptual intent, its CRC
        std::string("\0\0\0\x01sRGB\0\xae\xce\x1c\xe9", 13);
    EXPECT_EQ(png.substr(0, expected.size()), expected);
    EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12));
}

TEST(ImagePng, ExtremeShapesRoundTrip) {
    // One pixel, one row, one column: the filters' edges meet at once.
    for (const auto& size : {std::pair<int, int>{1, 1}, {300, 1}, {1, 300}}) {
        Image image(size.first, size.second);
        for (int i = 0; i < size.first * size.second; ++i) {
            float* rgb = image.pixel(i % size.first, i / size.first);
            rgb[0] = static_cast<float>(i % 7) / 6.0f;
            rgb[1] = 1.0f - rgb[0];
            rgb[2] = (i % 2 == 0) ? 2.0f : -1.0f;
        }
        const PngPixels pixels = decode_png(encode_png(image));
        ASSERT_TRUE(pixels.reason.empty()) << pixels.reason;
        EXPECT_EQ(pixels.width, size.first);
        EXPECT_EQ(pixels.height, size.second);
        ASSERT_EQ(pixels.bytes.size(), static_cast<std::size_t>(size.first * size.second * 3));
        for (int i = 0; i < size.first * size.second; ++i) {
            const int step = i % 7;
            // round(255 * sRGB(step / 6)) and of its complement, worked out apart.
            const int bytes[7] = {0, 113, 156, 188, 213, 235, 255};
            const int complement[7] = {255, 235, 213, 188, 156, 113, 0};
            EXPECT_EQ(pixels.bytes[3 * i], bytes[step]) << i;
            EXPECT_EQ(pixels.bytes[3 * i + 1], complement[step]) << i;
            EXPECT_EQ(pixels.bytes[3 * i + 2], i % 2 == 0 ? 255 : 0) << i;
        }
    }
}

TEST(ImagePng, IsCompressed) {
    // A black image was 3 bytes a pixel and more; deflate makes it a small fraction of that.
    const std::string black = encode_png(Image(512, 512));
    EXPECT_LT(black.size(), 512u * 512u * 3u / 100u);
    // The render references: 32 x 24 pixels were 2,396 bytes as stored blocks.
    const Image render = read_pfm(source_file("tests/render_references/builtin.pfm"));
    EXPECT_LT(encode_png(render).size(), 2396u);
}

}  // namespace
