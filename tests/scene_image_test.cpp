// Image files: the checksums against published values, the pixel mapping, the PNG bytes and a
// walk through their structure, PFM bit patterns, and how files are written and read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "host/image/checksums.h"
#include "host/image/image.h"
#include "host/image/pfm_image.h"
#include "host/image/png_image.h"
#include "host/image/whole_file.h"

namespace {

using namespace tmhost;
namespace fs = std::filesystem;

std::uint32_t crc_of(const std::string& text) { return crc32(text.data(), text.size()); }

std::uint32_t big_endian_at(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

TEST(SceneChecksums, MatchPublishedValues) {
    EXPECT_EQ(crc_of("IEND"), 0xAE426082u);
    EXPECT_EQ(crc_of("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc_of(""), 0u);
    const std::string wiki = "Wikipedia";
    EXPECT_EQ(adler32(wiki.data(), wiki.size()), 0x11E60398u);
    EXPECT_EQ(adler32(nullptr, 0), 1u);
    // Large sums of 0xFF bytes wrap the modulus many times.
    const std::string ones(100000, '\xff');
    EXPECT_EQ(adler32(ones.data(), ones.size()), 0x149A302Cu);
}

TEST(SceneChecksums, ContinueOverSeveralPieces) {
    EXPECT_EQ(crc32("6789", 4, crc32("12345", 5)), 0xCBF43926u);
    EXPECT_EQ(adler32("pedia", 5, adler32("Wiki", 4)), 0x11E60398u);
}

TEST(SceneDisplayByte, ClampsThenTakesTheSquareRoot) {
    EXPECT_EQ(display_byte(0.0f), 0);
    EXPECT_EQ(display_byte(-2.0f), 0);
    EXPECT_EQ(display_byte(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(display_byte(1.0f), 255);
    EXPECT_EQ(display_byte(7.5f), 255);
    EXPECT_EQ(display_byte(std::numeric_limits<float>::infinity()), 255);
    EXPECT_EQ(display_byte(0.25f), 128);  // 0.5 * 255 = 127.5, rounded up
    EXPECT_EQ(display_byte(0.5f), 180);   // 180.31
    EXPECT_EQ(display_byte(1e-9f), 0);
}

Image two_by_one() {
    Image image(2, 1);
    const float left[3] = {1.0f, 0.0f, 0.25f};
    const float right[3] = {0.5f, 1.0f, -3.0f};
    std::memcpy(image.pixel(0, 0), left, sizeof left);
    std::memcpy(image.pixel(1, 0), right, sizeof right);
    return image;
}

TEST(ScenePng, TinyImageHasTheExactBytes) {
    const std::string png = encode_png(two_by_one());
    const std::string expected =
        std::string("\x89PNG\r\n\x1a\n", 8) +
        // IHDR: 2 x 1, 8 bits, RGB, deflate, no filter method, no interlace
        std::string("\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x01\x08\x02\0\0\0\x7b\x40\xe8\xdd", 25) +
        // IDAT: zlib header, one final stored block of 7 bytes, Adler-32
        std::string("\0\0\0\x12IDAT\x78\x01\x01\x07\x00\xf8\xff", 15) +
        std::string("\x00\xff\x00\x80\xb4\xff\x00", 7) + std::string("\x0c\x1b\x03\x33", 4) +
        std::string("\x9b\x01\x1f\x67", 4) + std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12);
    EXPECT_EQ(png, expected);
}

// Reads a PNG of stored blocks the way a decoder would, checking every length and checksum.
std::string decode_stored_png(const std::string& png, std::uint32_t* width, std::uint32_t* height) {
    EXPECT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
    std::string zlib;
    std::size_t at = 8;
    std::string last_type;
    while (at < png.size()) {
        const std::uint32_t length = big_endian_at(png, at);
        const std::string type = png.substr(at + 4, 4);
        EXPECT_EQ(big_endian_at(png, at + 8 + length), crc32(png.data() + at + 4, 4 + length))
            << type;
        if (type == "IHDR") {
            *width = big_endian_at(png, at + 8);
            *height = big_endian_at(png, at + 12);
        }
        if (type == "IDAT") zlib += png.substr(at + 8, length);
        last_type = type;
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    EXPECT_EQ(last_type, "IEND");
    EXPECT_EQ(
        (static_cast<unsigned char>(zlib[0]) * 256 + static_cast<unsigned char>(zlib[1])) % 31, 0);
    std::string raw;
    at = 2;
    for (bool final_block = false; !final_block;) {
        final_block = zlib[at] == 1;
        EXPECT_TRUE(zlib[at] == 0 || zlib[at] == 1);
        const unsigned length = static_cast<unsigned char>(zlib[at + 1]) |
                                static_cast<unsigned char>(zlib[at + 2]) << 8;
        const unsigned check = static_cast<unsigned char>(zlib[at + 3]) |
                               static_cast<unsigned char>(zlib[at + 4]) << 8;
        EXPECT_EQ(length ^ check, 0xFFFFu);
        raw += zlib.substr(at + 5, length);
        at += 5 + length;
    }
    EXPECT_EQ(big_endian_at(zlib, at), adler32(raw.data(), raw.size()));
    EXPECT_EQ(at + 4, zlib.size());
    return raw;
}

TEST(ScenePng, LargeImageSplitsIntoStoredBlocksThatDecode) {
    // 200 x 120 gives 120 rows of 601 bytes: more than one 65535-byte block.
    Image image(200, 120);
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 200; ++x) {
            float* rgb = image.pixel(x, y);
            rgb[0] = x / 199.0f;
            rgb[1] = y / 119.0f;
            rgb[2] = 0.25f;
        }
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::string raw = decode_stored_png(encode_png(image), &width, &height);
    EXPECT_EQ(width, 200u);
    EXPECT_EQ(height, 120u);
    ASSERT_EQ(raw.size(), 120u * 601u);
    for (int y = 0; y < 120; y += 17) {
        const std::size_t row = static_cast<std::size_t>(y) * 601;
        EXPECT_EQ(raw[row], '\0');
        for (int x = 0; x < 200; x += 13) {
            const float* rgb = image.pixel(x, y);
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(static_cast<unsigned char>(raw[row + 1 + 3 * x + c]),
                          display_byte(rgb[c]));
            }
        }
    }
}

TEST(ScenePfm, TinyImageHasTheExactBytes) {
    Image image(1, 2);
    image.pixel(0, 0)[0] = 1.0f;   // top row: written last
    image.pixel(0, 1)[2] = -2.0f;  // bottom row: written first
    const std::string expected = std::string("PF\n1 2\n-1.0\n") +
                                 std::string("\0\0\0\0\0\0\0\0\0\0\0\xc0", 12) +
                                 std::string("\0\0\x80\x3f\0\0\0\0\0\0\0\0", 12);
    EXPECT_EQ(encode_pfm(image), expected);
}

TEST(ScenePfm, RoundTripKeepsEveryBit) {
    const std::uint32_t patterns[] = {
        0x00000000u, 0x80000000u,  // +0, -0
        0x00000001u, 0x807FFFFFu,  // subnormals
        0x7F800000u, 0xFF800000u,  // infinities
        0x7F800001u, 0x7FC12345u,  // signalling NaN, quiet NaN with a payload
        0x3EAAAAABu, 0x7F7FFFFFu,  // 1/3, the largest float
        0xC2F6E979u, 0x3F800000u};
    Image image(2, 2);
    for (int i = 0; i < 12; ++i) std::memcpy(image.pixel(0, 0) + i, &patterns[i], 4);
    const Image back = decode_pfm(encode_pfm(image));
    ASSERT_EQ(back.width(), 2);
    ASSERT_EQ(back.height(), 2);
    EXPECT_EQ(std::memcmp(back.values().data(), image.values().data(), 48), 0);
}

TEST(ScenePfm, ReadsBigEndianFiles) {
    const Image image =
        decode_pfm(std::string("PF\n1 1\n1.0\n\x3f\x80\0\0\x40\0\0\0\xc0\x40\0\0", 23));
    EXPECT_EQ(image.pixel(0, 0)[0], 1.0f);
    EXPECT_EQ(image.pixel(0, 0)[1], 2.0f);
    EXPECT_EQ(image.pixel(0, 0)[2], -3.0f);
}

std::string pfm_error(const std::string& bytes) {
    try {
        decode_pfm(bytes);
    } catch (const FileError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(ScenePfm, RejectsDamagedFilesWithTheReason) {
    const std::string pixel(12, '\0');
    EXPECT_EQ(pfm_error("P6\n1 1\n255\n"), "not a valid PFM: does not start with PF");
    EXPECT_EQ(pfm_error("Pf\n1 1\n-1.0\n" + pixel),
              "not a valid PFM: single-channel PFM; only colour (PF) is read");
    EXPECT_EQ(pfm_error("PF\nx 1\n-1.0\n" + pixel), "not a valid PFM: bad width \"x\"");
    EXPECT_EQ(pfm_error("PF\n1 -1\n-1.0\n" + pixel), "not a valid PFM: bad height \"-1\"");
    EXPECT_EQ(pfm_error("PF\n1 1\n0\n" + pixel), "not a valid PFM: bad scale \"0\"");
    EXPECT_EQ(pfm_error("PF\n1 1\n-1.0"), "not a valid PFM: bad or missing scale");
    EXPECT_EQ(pfm_error("PF\n0 1\n-1.0\n"), "not a valid PFM: image size 0x1 out of range");
    EXPECT_EQ(pfm_error("PF\n1 1\n-1.0\n" + pixel.substr(4)),
              "not a valid PFM: expected 12 bytes of pixels, found 8");
    EXPECT_EQ(pfm_error("PF\n1 1\n-1.0\n" + pixel + "x"),
              "not a valid PFM: expected 12 bytes of pixels, found 13");
}

// A fresh folder per test, removed afterwards.
class SceneImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / ("tonemix_scene_" + std::string(info->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const char* name) const { return (folder_ / name).string(); }

    std::size_t entries() const {
        std::size_t count = 0;
        for (auto it = fs::directory_iterator(folder_); it != fs::directory_iterator(); ++it) {
            ++count;
        }
        return count;
    }

    fs::path folder_;
};

TEST_F(SceneImageFiles, WrittenFilesHoldTheEncodingAndNothingIsLeftBeside) {
    const Image image = two_by_one();
    write_png(path("a.png"), image);
    write_pfm(path("a.pfm"), image);
    EXPECT_EQ(read_file(path("a.png")), encode_png(image));
    const Image back = read_pfm(path("a.pfm"));
    EXPECT_EQ(std::memcmp(back.values().data(), image.values().data(), 24), 0);
    EXPECT_EQ(entries(), 2u);
}

TEST_F(SceneImageFiles, RewritingReplacesTheWholeFile) {
    write_pfm(path("a.pfm"), Image(5, 5));
    write_pfm(path("a.pfm"), two_by_one());
    EXPECT_EQ(read_pfm(path("a.pfm")).width(), 2);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SceneImageFiles, FailedWriteNamesThePathAndLeavesNothing) {
    const std::string missing = path("no_folder/a.png");
    try {
        write_png(missing, two_by_one());
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), missing + ": cannot write: No such file or directory");
    }
    // The rename fails when a folder stands where the image should go; the finished temporary
    // file must not stay behind.
    fs::create_directory(path("taken.png"));
    EXPECT_THROW(write_png(path("taken.png"), two_by_one()), FileError);
    EXPECT_TRUE(fs::is_directory(path("taken.png")));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SceneImageFiles, ReadErrorsNameThePath) {
    try {
        read_pfm(path("absent.pfm"));
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  path("absent.pfm") + ": cannot read: No such file or directory");
    }
    replace_file(path("bad.pfm"), "PF\n1 1\n-1.0\n");
    try {
        read_pfm(path("bad.pfm"));
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  path("bad.pfm") + ": not a valid PFM: expected 12 bytes of pixels, found 0");
    }
}

TEST(SceneImage, RefusesSizesOutOfRange) {
    EXPECT_THROW(Image(0, 1), std::invalid_argument);
    EXPECT_THROW(Image(1, -1), std::invalid_argument);
    EXPECT_THROW(Image(kMaxImageSide + 1, 1), std::invalid_argument);
    EXPECT_THROW(Image(kMaxImageSide, kMaxImageSide), std::invalid_argument);
    const Image image(3, 2);
    EXPECT_EQ(image.values().size(), 18u);
    EXPECT_EQ(image.pixel(2, 1) - image.pixel(0, 0), 15);
}

}  // namespace
