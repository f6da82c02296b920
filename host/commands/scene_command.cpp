// tonemix-host scene NAME: a scene the host holds, or the one it builds around a model file,
// printed as a scene file to start from. The text printed is the very text render parses for
// that scene, so the file renders the same image.
#include <sstream>
#include <string>

#include "host/commands/camera_options.h"
#include "host/commands/command.h"
#include "host/commands/command_bodies.h"
#include "host/commands/command_error.h"
#include "host/render/scene_source.h"
#include "host/scene/builtin_scene.h"
#include "host/scene/mesh_file.h"

namespace tmhost {

namespace {

constexpr const char* kBuiltin = "builtin";

}  // namespace

int scene_body(const CommandLine& line, const CommandSettings&, CommandOutput& output) {
    if (!line.positional()) {
        throw UsageError(std::string("scene: expected the name of a scene (") + kBuiltin +
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
            throw UsageError("scene: --up and --camera-index are for model files");
        }
        built = builtin_scene_json();
    } else {
        throw UsageError("scene: unknown scene '" + name + "' (expected " + kBuiltin +
                         " or a model file: .obj, .ply, .stl, .gltf or .glb)");
    }
    std::istringstream text(built);
    for (std::string row; std::getline(text, row);) output.out(row);
    return EXIT_CLEAN;
}

const std::vector<OptionRule>& scene_options() {
    static const std::vector<OptionRule> rules = {
        camera_option_rules()[0],  // --up
        camera_option_rules()[1],  // --camera-index
        kHelpOption,
    };
    return rules;
}

}  // namespace tmhost
