// The sheet command: every tile is the very render of its value, the tiles stand in the order of
// the values, and a faulty --vary refuses the whole sheet before anything is written.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/image/pfm_image.h"
#include "render_test_support.h"

namespace {

namespace fs = std::filesystem;
using tonemix_test::CommandRun;
using tonemix_test::joined;

const std::vector<std::string> kTile = {"--width", "24", "--height", "16", "--threads", "2"};

struct Place {
    int x = -1;
    int y = -1;
};

bool same_pixels_at(const tmhost::Image& sheet, const tmhost::Image& tile, int left, int top) {
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x) {
            const float* a = sheet.pixel(left + x, top + y);
            const float* b = tile.pixel(x, y);
            // Bits, not values: the sheet holds the render's floats themselves.
            if (std::memcmp(a, b, 3 * sizeof(float)) != 0) return false;
        }
    }
    return true;
}

// Every place where the tile stands in the sheet pixel for pixel.
std::vector<Place> places_of(const tmhost::Image& sheet, const tmhost::Image& tile) {
    std::vector<Place> places;
    for (int y = 0; y + tile.height() <= sheet.height(); ++y) {
        for (int x = 0; x + tile.width() <= sheet.width(); ++x) {
            if (same_pixels_at(sheet, tile, x, y)) places.push_back({x, y});
        }
    }
    return places;
}

tmhost::Image render_with(const tmhost::TemporaryFolder& folder,
                          const std::vector<std::string>& sets) {
    std::vector<std::string> arguments = kTile;
    for (const std::string& set : sets) {
        arguments.push_back("--set");
        arguments.push_back(set);
    }
    return tonemix_test::render_image(folder, arguments);
}

CommandRun sheet_into(const std::string& output, std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), kTile.begin(), kTile.end());
    arguments.push_back("-o");
    arguments.push_back(output);
    return tonemix_test::sheet(arguments);
}

Place only_place(const tmhost::Image& sheet, const tmhost::Image& tile, const std::string& what) {
    const std::vector<Place> places = places_of(sheet, tile);
    EXPECT_EQ(places.size(), 1u) << what;
    return places.size() == 1 ? places[0] : Place{};
}

TEST(SheetCommand, EachTileIsTheRenderOfItsValueInTheOrderGiven) {
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "sheet.pfm").string();
    const CommandRun run = sheet_into(output, {"--vary", "samples=1,8,3"});
    ASSERT_EQ(run.status, 0) << joined(run.report.errors) << joined(run.report.warnings);
    ASSERT_EQ(run.report.out_lines.size(), 1u);
    EXPECT_NE(run.report.out_lines[0].find("sheet of 3 tiles"), std::string::npos);
    const tmhost::Image sheet = tmhost::read_pfm(output);

    const Place one = only_place(sheet, render_with(folder, {"samples=1"}), "samples=1");
    const Place eight = only_place(sheet, render_with(folder, {"samples=8"}), "samples=8");
    const Place three = only_place(sheet, render_with(folder, {"samples=3"}), "samples=3");
    EXPECT_EQ(one.y, eight.y);
    EXPECT_EQ(eight.y, three.y);
    EXPECT_LT(one.x, eight.x);
    EXPECT_LT(eight.x, three.x);
}

TEST(SheetCommand, TwoVariesMakeAGridWithTheFirstAcrossAndTheSharedValuesInEveryTile) {
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "grid.pfm").string();
    const CommandRun run = sheet_into(
        output, {"--vary", "mode=scatter,1", "--vary", "distance=0.5,2", "--set", "samples=5"});
    ASSERT_EQ(run.status, 0) << joined(run.report.errors) << joined(run.report.warnings);
    const tmhost::Image sheet = tmhost::read_pfm(output);
    Place at[2][2];
    const char* modes[2] = {"mode=0", "mode=1"};
    const char* distances[2] = {"distance=0.5", "distance=2"};
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const std::string what = std::string(modes[column]) + " " + distances[row];
            at[row][column] = only_place(
                sheet, render_with(folder, {"samples=5", modes[column], distances[row]}), what);
        }
    }
    EXPECT_EQ(at[0][0].y, at[0][1].y);
    EXPECT_EQ(at[1][0].y, at[1][1].y);
    EXPECT_LT(at[0][0].y, at[1][0].y);
    EXPECT_EQ(at[0][0].x, at[1][0].x);
    EXPECT_LT(at[0][0].x, at[0][1].x);
}

TEST(SheetCommand, AFaultyVaryRefusesTheWholeSheetAndWritesNothing) {
    struct Case {
        std::vector<std::string> arguments;
        std::string message;  // a part of the one error line
    };
    const std::string many_values = [] {
        std::string list = "samples=1";
        for (int i = 2; i <= 33; ++i) list += "," + std::to_string(i);
        return list;
    }();
    const std::vector<Case> cases = {
        {{}, "sheet: expected --vary NAME=VALUE,VALUE,..."},
        // The last value is out of range: no tile may render before the check.
        {{"--vary", "samples=4,8,2000"}, "--vary samples=4,8,2000: "},
        {{"--vary", "samples=4,,8"}, "--vary samples=4,,8: value 2 is empty"},
        {{"--vary", "samples=4,"}, "--vary samples=4,: value 2 is empty"},
        {{"--vary", "samples"}, "--vary samples: expected NAME=VALUE,VALUE,..."},
        {{"--vary", "=1,2"}, "--vary =1,2: expected NAME=VALUE,VALUE,..."},
        {{"--vary", "glossiness=1,2"}, "--vary glossiness=1,2: unknown parameter"},
        {{"--vary", "mode=scatter,sideways"}, "--vary mode=scatter,sideways: "},
        {{"--vary", "lights=red"}, "--vary lights=red: "},
        {{"--vary", "samples=1,2", "--vary", "TONEMIX_SAMPLES=3"}, "samples is varied twice"},
        {{"--vary", "samples=1", "--vary", "distance=1", "--vary", "offset=1"},
         "--vary: at most 2 parameters (a grid), not 3"},
        {{"--vary", many_values}, "more than 32 values"},
        {{"--vary", "samples=1,2", "--set", "samples=x"}, "--set samples=x: "},
        // Given both ways, the --set would be dropped for every tile.
        {{"--set", "samples=4", "--vary", "samples=1,2"},
         "--vary samples=1,2: samples is also given by --set samples=4; give it one way"},
        {{"--vary", "distance=1", "--vary", "samples=1,2", "--set", "TONEMIX_SAMPLES=4"},
         "--vary samples=1,2: samples is also given by --set TONEMIX_SAMPLES=4"},
    };
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "sheet.png").string();
    for (const Case& c : cases) {
        const CommandRun run = sheet_into(output, c.arguments);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_EQ(run.report.errors.size(), 1u) << c.message << ": " << joined(run.report.errors);
        EXPECT_NE(run.error().find(c.message), std::string::npos)
            << "expected \"" << c.message << "\" in \"" << run.error() << "\"";
        EXPECT_TRUE(run.report.out_lines.empty()) << joined(run.report.out_lines);
        EXPECT_FALSE(fs::exists(output)) << c.message;
    }
}

TEST(SheetCommand, ASheetBeyondTheImageLimitIsRefusedBeforeAnyTileRenders) {
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "huge.png").string();
    // Each tile alone is a legal image; sixteen of them side by side are not.
    const CommandRun run =
        tonemix_test::sheet({"--vary", "samples=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16", "--width",
                             "4000", "--height", "4", "-o", output});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.error().find("contact sheet of "), std::string::npos) << run.error();
    EXPECT_NE(run.error().find("make the tiles smaller"), std::string::npos) << run.error();
    EXPECT_FALSE(fs::exists(output));
}

}  // namespace
