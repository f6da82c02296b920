#include "host/commands/command.h"

#include <cstring>
#include <exception>

#include "host/commands/program_paths.h"
#include "host/core/text_format.h"
#include "host/render/render_error.h"
#include "host/scene/scene_error.h"

namespace tmhost {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"info", "[MODULE]",
         "load MODULE (default: Tonemix.cdl beside this program), send its lifecycle messages, "
         "run one shader node through set-up, a few shaded points and tear-down, and report the "
         "results, its console, its registrations and what it left behind",
         run_info},
        {"render",
         "[SCENE] [-o FILE] [--width W] [--height H] [--set NAME=VALUE]... [--lanes K] "
         "[--threads N] [--shared-node] [--module PATH] [--trust-description]",
         "render SCENE (a scene file; default: the built-in scene) with the module's shader into "
         "FILE (.png, .pfm or .exr; default: tonemix.png)",
         run_render},
        {"describe", "[SCENE] [--set NAME=VALUE]... [--module PATH] [--trust-description]",
         "show the shader's parameters as the module describes them, with the values of SCENE "
         "(default: the built-in scene) and whether each is enabled for them",
         run_describe},
    };
    return table;
}

std::vector<std::string> usage_lines(const char* name) {
    for (const Command& command : commands()) {
        if (std::strcmp(command.name, name) == 0) {
            return {std::string("usage: tonemix-host ") + command.name + " " + command.arguments,
                    std::string("  ") + command.summary};
        }
    }
    return {};
}

void CommandOutput::out(const std::string& text) {
    lines.push_back({Channel::out, one_line(text)});
}

void CommandOutput::error(const std::string& text) {
    lines.push_back({Channel::error, one_line(text)});
}

void CommandOutput::warning(const std::string& text) {
    lines.push_back({Channel::warning, one_line(text)});
}

namespace {

// A library's exception starts its message with a tag ("[json.exception.type_error.316] "),
// which says nothing to a user.
std::string without_tag(const std::string& what) {
    if (what.empty() || what[0] != '[') return what;
    const std::size_t end = what.find("] ");
    return end == std::string::npos ? what : what.substr(end + 2);
}

}  // namespace

std::string module_path(const std::optional<std::string>& given, const CommandSettings& settings) {
    return absolute_path(given.value_or(settings.default_module));
}

CommandOutput run_reporting_errors(const char* command, CommandBody body,
                                   const CommandArguments& arguments,
                                   const CommandSettings& settings) {
    CommandOutput output;
    try {
        output.status = body(arguments, settings, output);
        return output;
    } catch (const RenderError& error) {
        output.error(error.what());
    } catch (const SceneError& error) {
        output.error(error.what());
    } catch (const ModuleError& error) {
        output.error(error.what());
    } catch (const std::exception& error) {
        output.error(std::string(command) + " failed: " + without_tag(error.what()));
    }
    output.status = EXIT_USAGE;
    return output;
}

}  // namespace tmhost
