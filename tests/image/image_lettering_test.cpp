// Lettering: text lands where it is asked to and nowhere else, clipping at the image's edges, bad
// UTF-8 drawn as the replacement character, lines wrapped to their width.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/image/lettering.h"

namespace {

using tmhost::Image;
using tmhost::Ink;
using tmhost::Lettering;

constexpr Ink kWhite = {1.0f, 1.0f, 1.0f};

bool pixels_equal(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.values().data(), b.values().data(), a.values().size() * sizeof(float)) ==
               0;
}

struct Box {
    int left = 1 << 30;
    int top = 1 << 30;
    int right = -1;  // one past
    int bottom = -1;
    bool empty() const { return right < 0; }
};

// The pixels that are no longer black.
Box inked(const Image& image) {
    Box box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const float* rgb = image.pixel(x, y);
            if (rgb[0] == 0.0f && rgb[1] == 0.0f && rgb[2] == 0.0f) continue;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
        }
    }
    return box;
}

TEST(Lettering, TextInksOnlyItsLineAndAdvancesWithItsCharacters) {
    const Lettering lettering(16.0f);
    EXPECT_GE(lettering.line_height(), 16);
    EXPECT_LE(lettering.line_height(), 24);
    EXPECT_EQ(lettering.width(""), 0);
    EXPECT_GT(lettering.width("W"), lettering.width("i"));
    EXPECT_GT(lettering.width("samples = 16"), lettering.width("samples = 1"));

    Image image(200, 60);
    lettering.draw(image, 30, 20, "Tonemix 8", kWhite);
    const Box box = inked(image);
    ASSERT_FALSE(box.empty());
    // An edge's coverage may reach a pixel before the pen.
    EXPECT_GE(box.left, 29);
    EXPECT_LE(box.right, 30 + lettering.width("Tonemix 8") + 1);
    EXPECT_GE(box.top, 20);
    EXPECT_LE(box.bottom, 20 + lettering.line_height());
    // Coverage blends towards the ink, never past it.
    for (float value : image.values()) {
        EXPECT_GE(value, 0.0f);
        EXPECT_LE(value, 1.0f);
    }
}

TEST(Lettering, TextPastTheImageEdgesIsClippedAndSpacesInkNothing) {
    const Lettering lettering(20.0f);
    Image image(12, 10);
    // Each would write outside the image were it not clipped; the sanitiser builds see that.
    lettering.draw(image, -15, -8, "Wg", kWhite);
    lettering.draw(image, 8, 6, "Wg", kWhite);
    lettering.draw(image, -100000, 5, "far away", kWhite);
    lettering.draw(image, 100000, 100000, "far away", kWhite);
    EXPECT_FALSE(inked(image).empty());

    Image blank(40, 30);
    lettering.draw(blank, 2, 2, "    ", kWhite);
    EXPECT_TRUE(inked(blank).empty());
}

TEST(Lettering, BytesThatStartNoCharacterAreDrawnAsTheReplacementCharacter) {
    const Lettering lettering(16.0f);
    const std::string replacement = "\xEF\xBF\xBD";
    const std::vector<std::string> faulty = {
        "\xFF",          // never a UTF-8 byte
        "\x80",          // a continuation without a lead
        "\xC0",          // cut short at the end
        "\xED\xA0\x80",  // a surrogate: three bytes, three replacements
        "\xC1\xBF",      // an overlong '\x7F': two
    };
    const std::vector<int> replacements = {1, 1, 1, 3, 2};
    for (std::size_t i = 0; i < faulty.size(); ++i) {
        std::string expected;
        for (int k = 0; k < replacements[i]; ++k) expected += replacement;
        Image drawn(120, 30);
        Image wanted(120, 30);
        lettering.draw(drawn, 2, 2, "a" + faulty[i] + "b", kWhite);
        lettering.draw(wanted, 2, 2, "a" + expected + "b", kWhite);
        EXPECT_TRUE(pixels_equal(drawn, wanted)) << "case " << i;
        EXPECT_EQ(lettering.width("a" + faulty[i] + "b"), lettering.width("a" + expected + "b"));
    }
    // A good character of each length stays itself.
    EXPECT_NE(lettering.width("\xC3\x97"), lettering.width(replacement));  // U+00D7
}

TEST(Lettering, WrappedLinesFitTheirWidthAndKeepEveryWord) {
    const Lettering lettering(15.0f);
    const std::string text =
        "distance = 0.8, gaussian = true, mode = scatter, offset = 0.05, samples = 32";
    const int width = 150;
    const std::vector<std::string> lines = lettering.wrapped(text, width);
    ASSERT_GT(lines.size(), 1u);
    std::string joined;
    for (const std::string& line : lines) {
        EXPECT_LE(lettering.width(line), width) << line;
        EXPECT_NE(line.front(), ' ');
        joined += (joined.empty() ? "" : " ") + line;
    }
    EXPECT_EQ(joined, text);

    // One word wider than the line is broken between characters, each piece fitting.
    const std::string word = "/a/very/long/path/to/a/scene/file/that/fits/no/line.json";
    const std::vector<std::string> pieces = lettering.wrapped(word, 60);
    ASSERT_GT(pieces.size(), 1u);
    std::string whole;
    for (const std::string& piece : pieces) {
        EXPECT_LE(lettering.width(piece), 60) << piece;
        whole += piece;
    }
    EXPECT_EQ(whole, word);
    // Narrower than any character: one character a line rather than no progress.
    EXPECT_EQ(lettering.wrapped("abc", 1), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(lettering.wrapped("", 100).empty());
    EXPECT_TRUE(lettering.wrapped("   ", 100).empty());
}

}  // namespace
