// tonemix-host scene builtin: the built-in scene as a file, which renders the same image.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/scene/builtin_scene.h"
#include "render_test_support.h"

namespace {

using tonemix_test::CommandRun;
using tonemix_test::joined;

CommandRun scene(const std::vector<std::string>& arguments) {
    tmhost::CommandSettings settings;
    settings.default_module = "/nonexistent/Tonemix.cdl";  // the command loads no module
    const tmhost::CommandOutput output = tmhost::run_scene(arguments, settings);
    CommandRun run;
    run.status = output.status;
    for (const tmhost::OutputLine& line : output.lines) {
        (line.channel == tmhost::Channel::out ? run.report.out_lines : run.report.errors)
            .push_back(line.text);
    }
    return run;
}

TEST(SceneCommand, TheBuiltinSceneRendersFromItsFileBitForBit) {
    const CommandRun printed = scene({"builtin"});
    ASSERT_EQ(printed.status, 0) << joined(printed.report.errors);
    EXPECT_TRUE(printed.report.errors.empty());
    const nlohmann::json document = nlohmann::json::parse(joined(printed.report.out_lines));
    EXPECT_EQ(document["image"]["width"], 640);
    EXPECT_EQ(document["lights"].size(), 3u);
    EXPECT_EQ(document["light_list"]["lights"], nlohmann::json::array({"green"}));

    tmhost::TemporaryFolder folder;
    const std::string file = (folder.path() / "builtin.json").string();
    std::ofstream(file) << joined(printed.report.out_lines);
    const std::vector<std::string> size = {"--width", "32", "--height", "24", "--threads", "2"};
    std::vector<std::string> from_file = size;
    from_file.insert(from_file.begin(), file);
    const std::string built_in = tonemix_test::render_pfm_bytes(folder, size, "built_in.pfm");
    const std::string read_back = tonemix_test::render_pfm_bytes(folder, from_file, "file.pfm");
    ASSERT_FALSE(built_in.empty());
    EXPECT_EQ(read_back.size(), built_in.size());
    EXPECT_TRUE(read_back == built_in) << "the file renders another image";

    // Another scene, to see the comparison can fail: the file with one light fewer.
    nlohmann::json dimmer = document;
    dimmer["light_list"]["lights"] = nlohmann::json::array({"green", "cool"});
    std::ofstream(file) << dimmer.dump();
    EXPECT_NE(tonemix_test::render_pfm_bytes(folder, from_file, "dimmer.pfm"), built_in);
}

TEST(SceneCommand, ANameIsNeededAndOnlyKnownOnesAnswer) {
    const CommandRun none = scene({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.error(), "scene: expected the name of a scene (builtin) or a model file");
    EXPECT_TRUE(none.report.out_lines.empty());

    const CommandRun unknown = scene({"box"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.error(),
              "scene: unknown scene 'box' (expected builtin or a model file: .obj, .ply, .stl, "
              ".gltf or .glb)");

    EXPECT_EQ(scene({"builtin", "box"}).error(), "more than one scene name: 'builtin' and 'box'");
    EXPECT_EQ(scene({"builtin", "-o", "x"}).error(), "unknown option '-o'");
}

TEST(SceneCommand, AModelsStageIsPrintedAndRendersAsTheModelDoes) {
    tmhost::TemporaryFolder folder;
    const std::string model = folder
                                  .write("wedge.obj",
                                         "v 0 0 0\nv 2 0 0\nv 0 0 2\nv 0 1 0\n"
                                         "f 1 2 3\nf 1 2 4\nf 2 3 4\nf 3 1 4\n")
                                  .string();
    const CommandRun printed = scene({model, "--up", "z"});
    ASSERT_EQ(printed.status, 0) << joined(printed.report.errors);
    const nlohmann::json document = nlohmann::json::parse(joined(printed.report.out_lines));
    EXPECT_EQ(document["objects"][0]["file"], model);
    EXPECT_EQ(document["camera"]["up"], nlohmann::json::array({0.0, 0.0, 1.0}));
    EXPECT_EQ(document["lights"][1]["name"], "fill");

    const std::string file = (folder.path() / "wedge.json").string();
    std::ofstream(file) << joined(printed.report.out_lines);
    const std::vector<std::string> size = {"--width",   "32", "--height", "24",
                                           "--threads", "2",  "--set",    "samples=4"};
    std::vector<std::string> from_model = size;
    from_model.insert(from_model.begin(), {model, "--up", "z"});
    std::vector<std::string> from_file = size;
    from_file.insert(from_file.begin(), file);
    const std::string staged = tonemix_test::render_pfm_bytes(folder, from_model, "model.pfm");
    ASSERT_FALSE(staged.empty());
    EXPECT_TRUE(staged == tonemix_test::render_pfm_bytes(folder, from_file, "file.pfm"));
    from_model.erase(from_model.begin() + 1, from_model.begin() + 3);  // y up: another view
    EXPECT_FALSE(staged == tonemix_test::render_pfm_bytes(folder, from_model, "y.pfm"));

    EXPECT_EQ(scene({"builtin", "--up", "z"}).error(),
              "scene: --up and --camera-index are for model files");
}

}  // namespace
