// The render command's answers to bad input: one line saying what is wrong, exit code 2 and no
// image; and its answers when all is well: one summary line, and a warning for anything the
// module left behind.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"
#include "render_test_support.h"

#if defined(__linux__)
#include <dlfcn.h>
#include <sys/wait.h>
#endif

namespace {

using tonemix_test::CommandRun;
using tonemix_test::joined;
using tonemix_test::render;

const char* const kCamera =
    R"("camera": { "position": [0, 2, 6], "target": [0, 0, 0], "fov": 40 })";

std::string scene_with(const std::string& members) {
    return std::string("{ ") + kCamera + (members.empty() ? "" : ", " + members) + " }";
}

// Runs render with the arguments and an output in the folder; expects exit code 2, exactly one
// error line, and no image.
std::string failed_render(const tmhost::TemporaryFolder& folder, std::vector<std::string> arguments,
                          tmhost::ModuleSession::PrepareHost adjust = nullptr) {
    const std::filesystem::path output = folder.path() / "out.png";
    arguments.push_back("-o");
    arguments.push_back(output.string());
    const CommandRun run = render(arguments, adjust);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.report.errors.size(), 1u) << joined(run.report.errors);
    EXPECT_TRUE(run.report.out_lines.empty()) << joined(run.report.out_lines);
    EXPECT_FALSE(std::filesystem::exists(output)) << "an image was written";
    return run.error();
}

bool starts_with(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

TEST(RenderCommand, FaultyScenesAreOneLineErrorsThatNameThePlace) {
    tmhost::TemporaryFolder folder;
    const std::string malformed = folder.write("malformed.json", "{\n  \"camera\": {\n}").string();
    EXPECT_TRUE(starts_with(failed_render(folder, {malformed}),
                            malformed + ": line 3, column 2: malformed JSON: "));

    const auto scene = [&](const std::string& name, const std::string& members) {
        return folder.write(name, scene_with(members)).string();
    };
    const std::string unknown = scene("unknown.json", R"("shader": { "sampels": 4 })");
    EXPECT_EQ(failed_render(folder, {unknown}),
              unknown +
                  ": shader.sampels: unknown parameter (the shader has: samples, distance, "
                  "offset, gaussian, mode, jitter, shadows, seed, list_mode, extra_flag)");
    const std::string type = scene("type.json", R"("shader": { "TONEMIX_SAMPLES": "many" })");
    EXPECT_EQ(failed_render(folder, {type}),
              type +
                  ": shader.TONEMIX_SAMPLES: expected a whole number from 0 to 1024, got "
                  "\"many\"");
    const std::string boolean = scene("bool.json", R"("shader": { "shadows": 1 })");
    EXPECT_EQ(failed_render(folder, {boolean}),
              boolean + ": shader.shadows: expected true or false, got 1");
    const std::string range = scene("range.json", R"("shader": { "distance": -0.5 })");
    EXPECT_EQ(failed_render(folder, {range}),
              range + ": shader.distance: expected a number from 0 to 100000, got -0.5");
    const std::string choice = scene("choice.json", R"("shader": { "mode": 3 })");
    EXPECT_EQ(failed_render(folder, {choice}),
              choice + ": shader.mode: expected one of 0 (scatter), 1 (along the normal), got 3");
    const std::string list = scene("list.json", R"("lights": [ { "name": "key",
        "position": [0, 4, 0] } ], "light_list": { "mode": "include", "lights": ["kee"] })");
    EXPECT_EQ(failed_render(folder, {list}),
              list + ": light_list.lights[0]: unknown light \"kee\"");
    const std::string as_value = scene("as_value.json", R"("shader": { "lights": [] })");
    EXPECT_EQ(failed_render(folder, {as_value}),
              as_value +
                  ": shader.lights: a light list is set by the scene's light_list, not as "
                  "a value");
    const std::string blinding = scene("blinding.json", R"("lights": [ { "name": "sun",
        "position": [0, 4, 0], "intensity": 3e38 } ])");
    EXPECT_EQ(
        failed_render(folder, {blinding}),
        blinding + ": lights[0]: colour times intensity, with the lights before it, above 1e30");
    const std::string far = scene("far.json", R"("objects": [ { "type": "sphere", "name": "b",
        "center": [0, 0, 0], "radius": 1e308 } ])");
    EXPECT_EQ(failed_render(folder, {far}), far + ": objects[0].radius: must be at most 1e18");
    const std::string missing = (folder.path() / "missing.json").string();
    EXPECT_TRUE(starts_with(failed_render(folder, {missing}), missing + ": cannot read: "));
}

TEST(RenderCommand, BadSetValuesAreRefusedLikeTheScenes) {
    tmhost::TemporaryFolder folder;
    EXPECT_EQ(failed_render(folder, {"--set", "samples=2000"}),
              "--set samples=2000: expected a whole number from 0 to 1024, got 2000");
    EXPECT_EQ(failed_render(folder, {"--set", "seed=2147483648"}),
              "--set seed=2147483648: expected a whole number from -2147483648 to 2147483647, "
              "got 2147483648");
    EXPECT_EQ(failed_render(folder, {"--set", "offset=far"}),
              "--set offset=far: expected a number from -100000 to 100000, got \"far\"");
    EXPECT_EQ(failed_render(folder, {"--set", "samples"}), "--set samples: expected NAME=VALUE");
    EXPECT_TRUE(starts_with(failed_render(folder, {"--set", "colour=1"}),
                            "--set colour=1: unknown parameter (the shader has: samples, "));
}

TEST(RenderCommand, BadCommandLinesAreRefusedBeforeAnyWork) {
    tmhost::TemporaryFolder folder;
    EXPECT_EQ(failed_render(folder, {"--width", "0"}),
              "--width: expected a whole number from 1 to 16384, got '0'");
    EXPECT_EQ(failed_render(folder, {"--height", "12x"}),
              "--height: expected a whole number from 1 to 16384, got '12x'");
    EXPECT_EQ(failed_render(folder, {"--threads", "0"}),
              "--threads: expected a whole number from 1 to 64, got '0'");
    EXPECT_EQ(failed_render(folder, {"--threads", "65"}),
              "--threads: expected a whole number from 1 to 64, got '65'");
    EXPECT_EQ(failed_render(folder, {"--lanes", "0"}),
              "--lanes: expected a whole number from 1 to 64, got '0'");
    EXPECT_EQ(failed_render(folder, {"--lanes=65"}),
              "--lanes: expected a whole number from 1 to 64, got '65'");
    EXPECT_EQ(failed_render(folder, {"--lanes", "eight"}),
              "--lanes: expected a whole number from 1 to 64, got 'eight'");
    EXPECT_EQ(failed_render(folder, {"--lanes", "2", "--shared-node"}),
              "--lanes: not with --shared-node, whose one node shades every row");
    EXPECT_EQ(failed_render(folder, {"--shared-node=1"}), "--shared-node takes no value");
    EXPECT_EQ(failed_render(folder, {"--width", "16384", "--height", "16384"}),
              "image 16384x16384: more than 16777216 pixels");
    EXPECT_EQ(failed_render(folder, {"--fast"}), "unknown option '--fast'");
    EXPECT_EQ(failed_render(folder, {"a.json", "b.json"}),
              "more than one scene file: 'a.json' and 'b.json'");

    // Output names that cannot take an image.
    const CommandRun jpeg = render({"--width", "4", "-o", (folder.path() / "a.jpg").string()});
    EXPECT_EQ(jpeg.status, 2);
    EXPECT_EQ(jpeg.error(),
              (folder.path() / "a.jpg").string() +
                  ": unknown image type (expected a .png, .pfm or .exr file, or --format)");
    const std::string nowhere = (folder.path() / "no" / "a.png").string();
    const CommandRun folderless = render({"-o", nowhere});
    EXPECT_EQ(folderless.status, 2);
    EXPECT_EQ(folderless.error(), nowhere + ": no such folder: " + (folder.path() / "no").string());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "a.jpg"));
}

TEST(RenderCommand, ModulesThatCannotServeAreOneLineErrors) {
    tmhost::TemporaryFolder folder;
    const std::string missing = (folder.path() / "Missing.cdl").string();
    EXPECT_EQ(failed_render(folder, {"--module", missing}), "module file not found: " + missing);
    const std::string text = folder.write("Text.cdl", "not a module").string();
    EXPECT_TRUE(
        starts_with(failed_render(folder, {"--module", text}), "not a loadable module: " + text));
#if defined(__linux__)
    Dl_info info;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::puts), &info), 0);
    EXPECT_EQ(failed_render(folder, {"--module", info.dli_fname}),
              std::string("not a module of this host (no c4d_main): ") + info.dli_fname);
#endif

    const auto old_host = [](tmhost::StandInHost& host) {
        host.set_version(TM_HOST_API_MINIMUM - 1);
    };
    EXPECT_EQ(failed_render(folder, {}, old_host),
              "the module did not start: message 1 (init): -3 (expected 1)");
    const auto no_registration = [](tmhost::StandInHost& host) {
        host.fail("general_register_plugin");
    };
    EXPECT_EQ(failed_render(folder, {}, no_registration),
              "the module did not start: message 2 (start): 0 (expected 1)");

    // A module installed without its res/ folder.
    const std::filesystem::path lone = folder.path() / "lone" / "Tonemix.cdl";
    std::filesystem::create_directories(lone.parent_path());
    std::filesystem::copy_file(TONEMIX_MODULE_FILE, lone);
    EXPECT_EQ(failed_render(folder, {"--module", lone.string()}),
              "resource not loaded: resource folder 'res' not found (looked for " +
                  (lone.parent_path() / "res").string() +
                  "); the module did not start: message 6 (plug-in message 1: load resources): "
                  "-1 (expected 1)");
}

TEST(RenderCommand, AFailedRenderLeavesAnEarlierImageAsItWas) {
    tmhost::TemporaryFolder folder;
    const std::string output = folder.write("kept.png", "earlier image").string();
    const CommandRun run = render({"--set", "samples=-1", "-o", output});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(tmhost::read_file(output), "earlier image");
}

TEST(RenderCommand, ACleanRenderSaysWhatItDidInOneLine) {
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "small.png").string();
    const CommandRun run = render({"--width", "8", "--height", "6", "-o", output});
    EXPECT_EQ(run.status, 0) << joined(run.report.errors);
    EXPECT_TRUE(run.report.warnings.empty()) << joined(run.report.warnings);
    ASSERT_EQ(run.report.out_lines.size(), 1u);
    const std::string& line = run.report.out_lines[0];
    EXPECT_TRUE(starts_with(line, "rendered 8x6: ")) << line;
    EXPECT_NE(line.find(" points shaded in "), std::string::npos) << line;
    EXPECT_NE(line.find(" points/s); image written to " + output), std::string::npos) << line;
    EXPECT_EQ(tmhost::read_file(output).substr(1, 3), "PNG");
}

// The built-in scene is 640x360: one side alone gives the other in that shape, rounded.
TEST(RenderCommand, OneSideAloneKeepsTheScenesShape) {
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "shape.pfm").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> sizes = {
        {{"--width", "32"}, "rendered 32x18: "},
        {{"--height", "9"}, "rendered 16x9: "},
        {{"--width", "10"}, "rendered 10x6: "},  // 5.625 rounds up
        {{"--width", "1"}, "rendered 1x1: "},    // 0.5625 rounds to 1
        {{"--width", "7", "--height", "7"}, "rendered 7x7: "},
    };
    for (const auto& [given, said] : sizes) {
        std::vector<std::string> arguments = given;
        arguments.insert(arguments.end(), {"-o", output});
        const CommandRun run = render(arguments);
        ASSERT_EQ(run.status, 0) << joined(run.report.errors);
        ASSERT_EQ(run.report.out_lines.size(), 1u);
        EXPECT_TRUE(starts_with(run.report.out_lines[0], said)) << run.report.out_lines[0];
    }
    EXPECT_EQ(tmhost::read_pfm(output).width(), 7);
    const CommandRun tall = render({"--height", "16384", "-o", output});
    EXPECT_EQ(tall.status, 2);
    EXPECT_EQ(tall.error(),
              "image 29127x16384 in the scene's shape: a side above 16384; give both --width and "
              "--height");
}

void TM_CDECL keep_list(ListHandle) {}

TEST(RenderCommand, WhatTheModuleLeavesBehindIsAWarningAndExitCodeOne) {
    tmhost::TemporaryFolder folder;
    const std::string output = (folder.path() / "kept.pfm").string();
    // A list library that never frees makes every light list handle the module built stay live.
    const auto never_free = [](tmhost::StandInHost& host) {
        host.list_library().table().listlib_free = keep_list;
    };
    const CommandRun run = render({"--width", "4", "--height", "3", "-o", output}, never_free);
    EXPECT_EQ(run.status, 1);
    // Three rows are three lanes, each with a node of its own that builds its own handle.
    ASSERT_EQ(run.report.warnings.size(), 3u) << joined(run.report.warnings);
    for (const std::string& warning : run.report.warnings) {
        EXPECT_EQ(warning, "module: light list handle never freed, holding 1 scene object");
    }
    EXPECT_TRUE(std::filesystem::exists(output)) << "the image itself is whole";
}

#if defined(__linux__)
TEST(RenderCommand, TheProgramExitsWithCodeTwoAndTheLineOnStandardError) {
    const std::filesystem::path program =
        std::filesystem::path(TONEMIX_MODULE_FILE).parent_path() / "tonemix-host";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "tonemix-host not built";
    tmhost::TemporaryFolder folder;
    const std::filesystem::path errors = folder.path() / "errors.txt";
    const std::filesystem::path output = folder.path() / "out.png";
    const std::string command = "'" + program.string() + "' render --threads 0 -o '" +
                                output.string() + "' 2>'" + errors.string() + "' >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(tmhost::read_file(errors.string()),
              "tonemix-host: --threads: expected a whole number from 1 to 64, got '0'\n");
    EXPECT_FALSE(std::filesystem::exists(output));
}
#endif

}  // namespace
