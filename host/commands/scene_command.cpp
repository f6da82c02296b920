// tonemix-host scene NAME: a scene the host holds, or the one it builds around a model file,
// printed as a scene file to start from. The text printed is the very text render parses for
// that scene, so the file renders the same image.
#include <sstream>
#include <string>

#include "host/commands/camera_options.h"
#include "host/commands/command.h"
#include "host/render/render_error.h"
#include "host/render/scene_source.h"
#include "host/scene/builtin_scene.h"
#include "host/scene/mesh_file.h"

namespace tmhost {

namespace {

constexpr const char* kBuiltin = "builtin";

int scene(const CommandArguments& arguments, const CommandSettings&, CommandOutput& output) {
    const CommandLine line(arguments, scene_options(), "scene name");
    if (line.has("--help")) {
        for (std::string& text : usage_lines("scene")) output.out(std::move(text));
        return EXIT_CLEAN;
    }
    if (!line.positional()) {
        throw RenderError(std::string("scene: expected the name of a scene (") + kBuiltin +
                          ") or a model file");
    }
    const std::string& name = *line.positional();
    std::string built;
    if (model_format(name)) {
        LoadedScene loaded = load_scene(name, stage_options(line));
        for (const std::string& note : loaded.scene.notes) output.warning(note);
        built = loaded.model->text;
    } else if (name == kBuiltin) {
        if (line.has("--up") || line.has("--camera-index")) {
            throw RenderError("scene: --up and --camera-index are for model files");
        }
        built = builtin_scene_json();
    } else {
        throw RenderError("scene: unknown scene '" + name + "' (expected " + kBuiltin +
                          " or a model file: .obj, .ply, .stl, .gltf or .glb)");
    }
    std::istringstream text(built);
    for (std::string row; std::getline(text, row);) output.out(row);
    return EXIT_CLEAN;
}

}  // namespace

const std::vector<OptionRule>& scene_options() {
    static const std::vector<OptionRule> rules = {
        camera_option_rules()[0],  // --up
        camera_option_rules()[1],  // --camera-index
        kHelpOption,
    };
    return rules;
}

CommandOutput run_scene(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_reporting_errors("scene", scene, arguments, settings);
}

}  // namespace tmhost
