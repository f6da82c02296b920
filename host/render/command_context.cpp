#include "host/render/command_context.h"

#include <exception>

#include "host/render/render_error.h"
#include "host/scene/scene_error.h"

namespace tmhost {

std::string module_path(const std::optional<std::string>& given, const CommandContext& context) {
    const std::string module = given.value_or(context.default_module);
    return context.absolute_path ? context.absolute_path(module) : module;
}

int run_reporting_errors(const char* command, CommandBody body,
                         const std::vector<std::string>& arguments, const CommandContext& context) {
    try {
        return body(arguments, context);
    } catch (const RenderError& error) {
        context.report.error(error.what());
    } catch (const SceneError& error) {
        context.report.error(error.what());
    } catch (const std::exception& error) {
        context.report.error(std::string(command) + " failed: " + error.what());
    }
    return COMMAND_ERROR;
}

}  // namespace tmhost
