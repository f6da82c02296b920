// Small renders of every example scene and of the built-in scene through the built module,
// compared bit for bit with reference images made by the render command itself.
//
// Exact comparison holds because every number on the way is plain IEEE arithmetic of fixed
// order: the module's code and the host's tracer are the same code on every run, both builds use
// SSE2 (no x87 extended precision), the tracer uses only +, -, *, / and sqrt, and each lane's
// node shades its rows in a fixed order, so its random stream meets the same points every time
// whichever thread shades the lane.
//
// After a deliberate change to the shader or the host, regenerate the references with
//     TONEMIX_UPDATE_RENDER_REFERENCES=1 build/linux-i686/tests/tonemix_commands_tests
//         --gtest_filter='RenderReferences.*'
// (one command line)// and look at the renders (tonemix-host render ... -o x.png) before committing
// them.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace {

using tonemix_test::render_pfm_bytes;
using tonemix_test::source_path;

struct ReferenceCase {
    std::string name;                    // file name of the reference, without .pfm
    std::vector<std::string> arguments;  // besides the size and the output
};

bool updating_references() {
    const char* value = std::getenv("TONEMIX_UPDATE_RENDER_REFERENCES");
    return value != nullptr && *value != '\0';
}

std::vector<ReferenceCase> reference_cases() {
    std::vector<std::string> scenes;
    for (const auto& entry : std::filesystem::directory_iterator(source_path("scenes"))) {
        if (entry.path().extension() == ".json") scenes.push_back(entry.path().string());
    }
    std::sort(scenes.begin(), scenes.end());
    std::vector<ReferenceCase> cases;
    for (const std::string& scene : scenes) {
        cases.push_back({std::filesystem::path(scene).stem().string(), {scene}});
    }
    cases.push_back({"builtin", {}});
    return cases;
}

std::vector<std::string> small(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--width", "32", "--height", "24"});
    return arguments;
}

// Where two renders first differ, for a failure message that says more than "differ".
std::string first_difference(const std::string& expected, const std::string& actual) {
    const tmhost::Image a = tmhost::decode_pfm(expected);
    const tmhost::Image b = tmhost::decode_pfm(actual);
    if (a.width() != b.width() || a.height() != b.height()) return "sizes differ";
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                if (a.pixel(x, y)[c] != b.pixel(x, y)[c]) {
                    return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") channel " +
                           std::to_string(c) + ": expected " + std::to_string(a.pixel(x, y)[c]) +
                           ", got " + std::to_string(b.pixel(x, y)[c]);
                }
            }
        }
    }
    return "same pixels, different bytes";
}

TEST(RenderReferences, EveryExampleSceneMatchesItsReferenceBitForBit) {
    const std::vector<ReferenceCase> cases = reference_cases();
    ASSERT_GE(cases.size(), 3u) << "no example scenes found in " << source_path("scenes");
    tmhost::TemporaryFolder folder;
    for (const ReferenceCase& reference : cases) {
        SCOPED_TRACE(reference.name);
        const std::string path = source_path("tests/render_references/" + reference.name + ".pfm");
        const std::string actual = render_pfm_bytes(folder, small(reference.arguments));
        ASSERT_FALSE(actual.empty());
        if (updating_references()) {
            tmhost::replace_file(path, actual);
            continue;
        }
        ASSERT_TRUE(std::filesystem::exists(path))
            << "no reference " << path << "; make it with TONEMIX_UPDATE_RENDER_REFERENCES=1";
        const std::string expected = tmhost::read_file(path);
        EXPECT_TRUE(expected == actual) << first_difference(expected, actual);
    }
}

TEST(RenderReferences, ARenderRepeatsBitForBitWithOneThreadAndWithTwo) {
    tmhost::TemporaryFolder folder;
    for (const char* threads : {"1", "2"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        const std::vector<std::string> arguments = small({"--threads", threads});
        const std::string first = render_pfm_bytes(folder, arguments, "first.pfm");
        const std::string second = render_pfm_bytes(folder, arguments, "second.pfm");
        ASSERT_FALSE(first.empty());
        EXPECT_TRUE(first == second) << first_difference(first, second);
    }
}

TEST(RenderReferences, EveryThreadCountGivesTheReferenceImage) {
    tmhost::TemporaryFolder folder;
    const std::string path = source_path("tests/render_references/builtin.pfm");
    ASSERT_TRUE(std::filesystem::exists(path));
    const std::string expected = tmhost::read_file(path);
    for (const char* threads : {"1", "2", "3", "8", "64"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        const std::string actual = render_pfm_bytes(folder, small({"--threads", threads}));
        ASSERT_FALSE(actual.empty());
        EXPECT_TRUE(expected == actual) << first_difference(expected, actual);
    }
}

}  // namespace
