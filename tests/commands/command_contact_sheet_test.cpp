// The contact sheet's image: tiles copied into the sheet unchanged, labels below them, and
// sheets or tiles that do not fit refused.
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/commands/command_error.h"
#include "host/commands/contact_sheet.h"
#include "host/image/image.h"

namespace {

using tmhost::ContactSheet;
using tmhost::Image;
using tmhost::SheetLayout;

SheetLayout two_by_one(std::vector<std::vector<std::string>> labels) {
    SheetLayout layout;
    layout.columns = 2;
    layout.rows = 1;
    layout.tile_width = 30;
    layout.tile_height = 20;
    layout.labels = std::move(labels);
    layout.caption = {"a caption"};
    return layout;
}

Image filled(int width, int height, float value) {
    Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float* rgb = image.pixel(x, y);
            rgb[0] = value;
            rgb[1] = value * 2.0f;  // beyond 1: a float image's light is kept as it is
            rgb[2] = -value;
        }
    }
    return image;
}

TEST(ContactSheetImage, TilesAreCopiedUnchangedAndLabelsDifferByTheirText) {
    ContactSheet sheet(two_by_one({{"samples = 1"}, {"samples = 64"}}));
    const Image a = filled(30, 20, 0.25f);
    const Image b = filled(30, 20, 3.5f);
    sheet.place(0, 0, a);
    sheet.place(1, 0, b);
    for (int column = 0; column < 2; ++column) {
        const Image& tile = column == 0 ? a : b;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 30; ++x) {
                const float* got =
                    sheet.image().pixel(sheet.tile_x(column) + x, sheet.tile_y(0) + y);
                ASSERT_EQ(std::memcmp(got, tile.pixel(x, y), 3 * sizeof(float)), 0);
            }
        }
    }
    EXPECT_LT(sheet.tile_x(0) + 30, sheet.tile_x(1));

    // The same sheet with other labels differs, and only below the tiles.
    ContactSheet other(two_by_one({{"samples = 2"}, {"samples = 64"}}));
    other.place(0, 0, a);
    other.place(1, 0, b);
    ASSERT_EQ(other.width(), sheet.width());
    ASSERT_EQ(other.height(), sheet.height());
    int differing = 0;
    for (int y = 0; y < sheet.height(); ++y) {
        for (int x = 0; x < sheet.width(); ++x) {
            if (std::memcmp(sheet.image().pixel(x, y), other.image().pixel(x, y),
                            3 * sizeof(float)) == 0) {
                continue;
            }
            ++differing;
            EXPECT_GE(y, sheet.tile_y(0) + 20);
            EXPECT_LT(x, sheet.tile_x(1));
        }
    }
    EXPECT_GT(differing, 0);
}

TEST(ContactSheetImage, AMisfitTileAndAnOversizedSheetAreRefused) {
    ContactSheet sheet(two_by_one({{"a"}, {"b"}}));
    EXPECT_THROW(sheet.place(0, 0, filled(31, 20, 1.0f)), std::invalid_argument);
    EXPECT_THROW(sheet.place(2, 0, filled(30, 20, 1.0f)), std::invalid_argument);
    EXPECT_THROW(sheet.place(0, -1, filled(30, 20, 1.0f)), std::invalid_argument);

    SheetLayout wide = two_by_one({{"a"}, {"b"}});
    wide.columns = 32;
    wide.rows = 32;
    wide.tile_width = 16384;  // 64-bit arithmetic: 32 x 16384 x 32 x ... does not wrap
    wide.tile_height = 16384;
    EXPECT_THROW(ContactSheet{wide}, tmhost::UsageError);
}

}  // namespace
