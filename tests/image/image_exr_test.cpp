// OpenEXR files through tinyexr, read back by tinyexr: R, G and B as 32-bit floats whose every
// bit comes back, in a file smaller than the floats themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <tinyexr.h>

#include "host/image/exr_image.h"
#include "host/image/image.h"
#include "host/image/pfm_image.h"
#include "host/image/whole_file.h"
#include "image_decoders.h"
#include "temporary_folder.h"

namespace {

using namespace tmhost;
using tonemix_test::decode_exr;
using tonemix_test::ExrChannels;

std::uint32_t bits_of(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

// Every kind of float a render could hold, and then some: each channel a pattern of its own, so
// that channels swapped or rows reversed show.
Image bit_patterns(int width, int height) {
    const std::uint32_t patterns[] = {
        0x00000000u, 0x80000000u,  // +0, -0
        0x00000001u, 0x807FFFFFu,  // subnormals
        0x7F800000u, 0xFF800000u,  // infinities
        0x7F800001u, 0x7FC12345u,  // signalling NaN, quiet NaN with a payload
        0x3EAAAAABu, 0x7F7FFFFFu,  // 1/3, the largest float
        0xC2F6E979u, 0x3F800000u, 0x3DCCCCCDu};
    constexpr std::size_t count = sizeof patterns / sizeof patterns[0];
    Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const std::size_t i = static_cast<std::size_t>((y * width + x) * 3 + c);
                const std::uint32_t bits = patterns[(i * 5 + static_cast<std::size_t>(y)) % count];
                std::memcpy(image.pixel(x, y) + c, &bits, 4);
            }
        }
    }
    return image;
}

// The channels back in the image's order, compared bit for bit; the first difference named.
void expect_every_bit_back(const Image& image, const std::string& exr) {
    const ExrChannels back = decode_exr(exr);
    ASSERT_TRUE(back.reason.empty()) << back.reason;
    EXPECT_EQ(back.width, image.width());
    EXPECT_EQ(back.height, image.height());
    EXPECT_EQ(back.compression, TINYEXR_COMPRESSIONTYPE_ZIP);
    ASSERT_EQ(back.names, (std::vector<std::string>{"B", "G", "R"}));
    EXPECT_EQ(back.pixel_types, std::vector<int>(3, TINYEXR_PIXELTYPE_FLOAT));
    const int channel_of_plane[3] = {2, 1, 0};
    std::size_t differing = 0;
    for (int plane = 0; plane < 3; ++plane) {
        ASSERT_EQ(back.planes[plane].size(),
                  static_cast<std::size_t>(image.width()) * image.height());
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const std::uint32_t expected = bits_of(image.pixel(x, y)[channel_of_plane[plane]]);
                const std::uint32_t actual =
                    bits_of(back.planes[plane][static_cast<std::size_t>(y) * image.width() + x]);
                if (expected != actual && differing++ == 0) {
                    ADD_FAILURE() << back.names[plane] << " of pixel (" << x << ", " << y
                                  << "): expected 0x" << std::hex << expected << ", got 0x"
                                  << actual;
                }
            }
        }
    }
    EXPECT_EQ(differing, 0u);
}

TEST(ImageExr, EveryFloatComesBackBitForBit) {
    // ZIP blocks hold 16 rows: 37 rows are two whole blocks and a short one.
    expect_every_bit_back(bit_patterns(7, 37), encode_exr(bit_patterns(7, 37)));
    // One pixel, one row, one column.
    expect_every_bit_back(bit_patterns(1, 1), encode_exr(bit_patterns(1, 1)));
    expect_every_bit_back(bit_patterns(301, 1), encode_exr(bit_patterns(301, 1)));
    expect_every_bit_back(bit_patterns(1, 33), encode_exr(bit_patterns(1, 33)));
}

TEST(ImageExr, ARenderReadsBackThroughTheSimpleLoaderAsRgba) {
    const Image render =
        read_pfm(std::string(TONEMIX_SOURCE_DIR) + "/tests/render_references/builtin.pfm");
    const std::string exr = encode_exr(render);
    expect_every_bit_back(render, exr);
    float* rgba = nullptr;
    int width = 0;
    int height = 0;
    const char* error = nullptr;
    ASSERT_EQ(
        LoadEXRFromMemory(&rgba, &width, &height,
                          reinterpret_cast<const unsigned char*>(exr.data()), exr.size(), &error),
        TINYEXR_SUCCESS)
        << (error != nullptr ? error : "");
    ASSERT_EQ(width, render.width());
    ASSERT_EQ(height, render.height());
    std::size_t differing = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float* loaded = rgba + (static_cast<std::size_t>(y) * width + x) * 4;
            for (int c = 0; c < 3; ++c) {
                if (bits_of(loaded[c]) != bits_of(render.pixel(x, y)[c])) ++differing;
            }
            if (loaded[3] != 1.0f) ++differing;  // no alpha in the file: opaque
        }
    }
    std::free(rgba);
    EXPECT_EQ(differing, 0u);
}

TEST(ImageExr, IsCompressed) {
    // The floats alone are 12 bytes a pixel.
    EXPECT_LT(encode_exr(Image(256, 256)).size(), 256u * 256u * 12u / 50u);
    // The magic number and version 2, one part of scan lines.
    const std::string exr = encode_exr(Image(3, 2));
    EXPECT_EQ(exr.substr(0, 8), std::string("\x76\x2f\x31\x01\x02\0\0\0", 8));
}

TEST(ImageExr, WrittenFileHoldsTheEncodingAndNothingIsLeftBeside) {
    TemporaryFolder folder;
    const std::string path = (folder.path() / "a.exr").string();
    const Image image = bit_patterns(5, 4);
    write_exr(path, image);
    EXPECT_EQ(read_file(path), encode_exr(image));
    std::size_t entries = 0;
    for (auto it = std::filesystem::directory_iterator(folder.path());
         it != std::filesystem::directory_iterator(); ++it) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
    const std::string missing = (folder.path() / "no" / "a.exr").string();
    try {
        write_exr(missing, image);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), missing + ": cannot write: No such file or directory");
    }
}

}  // namespace
