// tonemix-host scene NAME: a scene the host holds, printed as a scene file to start from. The
// text printed is the very text render parses for that scene, so the file renders the same image.
#include <sstream>
#include <string>

#include "host/commands/command.h"
#include "host/render/render_error.h"
#include "host/scene/builtin_scene.h"

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
        throw RenderError(std::string("scene: expected the name of a scene (") + kBuiltin + ")");
    }
    if (*line.positional() != kBuiltin) {
        throw RenderError("scene: unknown scene '" + *line.positional() + "' (expected " +
                          kBuiltin + ")");
    }
    std::istringstream text(builtin_scene_json());
    for (std::string row; std::getline(text, row);) output.out(row);
    return EXIT_CLEAN;
}

}  // namespace

const std::vector<OptionRule>& scene_options() {
    static const std::vector<OptionRule> rules = {
        kHelpOption,
    };
    return rules;
}

CommandOutput run_scene(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_reporting_errors("scene", scene, arguments, settings);
}

}  // namespace tmhost
