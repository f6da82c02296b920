// Image files: the pixel mapping, PFM bit patterns, and how files are written and read (the PNG
// and OpenEXR encodings have tests of their own).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "host/image/image.h"
#include "host/image/pfm_image.h"
#include "host/image/png_image.h"
#include "host/image/whole_file.h"

namespace {

using namespace tmhost;
namespace fs = std::filesystem;

// The codes of the sRGB transfer, worked out apart in 50-digit decimal arithmetic.
TEST(SceneDisplayByte, ClampsThenTakesTheSrgbTransfer) {
    EXPECT_EQ(display_byte(0.0f), 0);
    EXPECT_EQ(display_byte(-2.0f), 0);
    EXPECT_EQ(display_byte(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(display_byte(1.0f), 255);
    EXPECT_EQ(display_byte(7.5f), 255);
    EXPECT_EQ(display_byte(std::numeric_limits<float>::infinity()), 255);
    EXPECT_EQ(display_byte(0.25f), 137);  // 136.960
    EXPECT_EQ(display_byte(0.5f), 188);   // 187.516
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
