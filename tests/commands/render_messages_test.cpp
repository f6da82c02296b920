// Messages a user can act on: what is missing and where comes first, and every message is one
// line whatever a file or the command line carried into it.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace {

using tonemix_test::CommandRun;
using tonemix_test::joined;

// The built module in a folder of its own with a res/ folder whose description folder holds
// `entries` (file name to content; a name ending in '/' makes a folder).
std::string installed_module(const tmhost::TemporaryFolder& folder,
                             const std::vector<std::pair<std::string, std::string>>& entries) {
    const std::filesystem::path module = folder.path() / "module" / "Tonemix.cdl";
    std::filesystem::create_directories(module.parent_path() / "res" / "description");
    std::filesystem::copy_file(TONEMIX_MODULE_FILE, module);
    for (const auto& [name, content] : entries) {
        if (!name.empty() && name.back() == '/') {
            std::filesystem::create_directories(module.parent_path() / "res" / "description" /
                                                name);
        } else {
            folder.write("module/res/description/" + name, content);
        }
    }
    return module.string();
}

std::string refusal(const CommandRun& run) {
    EXPECT_EQ(run.status, 2) << joined(run.report.out_lines);
    EXPECT_EQ(run.report.errors.size(), 1u) << joined(run.report.errors);
    return run.error();
}

TEST(RenderMessages, AMissingDescriptionSaysWhichAndWhereFirst) {
    const std::string description = tmhost::read_file(
        tonemix_test::source_path("plugins/tonemix/res/description/Xtonemix.json"));
    // Renamed, replaced by a folder, or simply absent: the module cannot register its shader.
    for (const auto& entries : std::vector<std::vector<std::pair<std::string, std::string>>>{
             {{"Xtonemix.json.bak", description}}, {{"Xtonemix.json/", ""}}, {}}) {
        tmhost::TemporaryFolder folder;
        const std::string module = installed_module(folder, entries);
        const std::string where = (folder.path() / "module" / "res" / "description").string();
        EXPECT_EQ(refusal(tonemix_test::describe({"--module", module})),
                  "the module's description \"Xtonemix\" was not found in " + where +
                      "; the module did not start: message 2 (start): 0 (expected 1)");
    }
}

TEST(RenderMessages, EchoedTextCannotSplitAMessageOrReachTheTerminal) {
    tmhost::TemporaryFolder folder;
    const std::string out = (folder.path() / "out.pfm").string();
    EXPECT_EQ(refusal(tonemix_test::render({"--set", "sam\nples=3", "-o", out})),
              "--set sam\\nples=3: unknown parameter (the shader has: samples, distance, offset, "
              "gaussian, mode, jitter, shadows, seed, list_mode, extra_flag)");
    // Bytes that are no UTF-8 are shown escaped, and the message says which --set carried them.
    EXPECT_EQ(refusal(tonemix_test::render({"--set", "samples=\xff", "-o", out})),
              "--set samples=\\xff: expected a whole number from 0 to 1024, got \"\xef\xbf\xbd\"");
    // A right-to-left override would show the rest of the line backwards; a C1 control byte
    // (U+009B) starts a terminal sequence as ESC [ does. Well-formed text passes as it is.
    const std::vector<std::pair<std::string, std::string>> shown = {
        {"s\xe2\x80\xaemples=3", "--set s\\u202emples=3: unknown parameter"},
        {"s\xc2\x9b"
         "31m=3",
         "--set s\\u009b31m=3: unknown parameter"},
        {"s\xc3\xa4mples=3", "--set s\xc3\xa4mples=3: unknown parameter"},
    };
    for (const auto& [assignment, start] : shown) {
        const std::string error = refusal(tonemix_test::render({"--set", assignment, "-o", out}));
        EXPECT_EQ(error.rfind(start, 0), 0u) << error;
    }
    const std::string scene =
        folder
            .write("scene.json",
                   R"({"camera": {"position": [0, 2, 6], "target": [0, 0, 0], "fov": 40},
                                        "objects": [{"type": "a\u001b[31m\nb"}]})")
            .string();
    const std::string error = refusal(tonemix_test::render({scene, "-o", out}));
    EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
    EXPECT_NE(error.find("\\x1b"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(RenderMessages, ABlackOrEmptyPictureSaysWhyAndIsStillWritten) {
    tmhost::TemporaryFolder folder;
    const std::string out = (folder.path() / "out.pfm").string();
    const std::string camera =
        R"("camera": {"position": [0, 2, 6], "target": [0, 0, 0], "fov": 40})";
    const auto render = [&](const std::string& scene) {
        const std::string path = folder.write("scene.json", scene).string();
        std::filesystem::remove(out);
        const CommandRun run =
            tonemix_test::render({path, "--width", "8", "--height", "6", "-o", out});
        EXPECT_EQ(run.status, 0) << joined(run.report.errors);
        EXPECT_TRUE(std::filesystem::exists(out));
        return run.report.warnings;
    };
    // Nothing in view: only the background. (A reach that fits the small sphere: the warning of
    // one that does not has a test of its own.)
    EXPECT_EQ(
        render("{" + camera +
               R"(, "shader": {"distance": 1},
                    "objects": [{"type": "sphere", "name": "far", "center": [0, 0, 50],
                                                     "radius": 1}]})"),
        std::vector<std::string>{"no point was shaded: the camera sees no object of the scene"});
    // The light list keeps only a light that does not exist in the list: every point is black.
    const std::string lit_scene = "{" + camera + R"(,
        "objects": [{"type": "plane", "name": "floor", "point": [0, 0, 0], "normal": [0, 1, 0]}],
        "lights": [{"name": "key", "position": [0, 5, 0]}])";
    EXPECT_EQ(render(lit_scene + R"(, "light_list": {"mode": "exclude", "lights": ["key"]}})"),
              std::vector<std::string>{
                  "every shaded point is black: no light reaches the objects the camera sees "
                  "(check the lights, the light list and the shader's values)"});
    EXPECT_EQ(render(lit_scene + "}"), std::vector<std::string>{});
}

}  // namespace
