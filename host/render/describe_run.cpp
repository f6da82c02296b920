#include "host/render/describe_run.h"

#include "host/core/text_format.h"
#include "host/render/command_line.h"
#include "host/render/module_session.h"
#include "host/render/scene_source.h"
#include "host/render/shader_instance.h"
#include "host/render/text_table.h"

namespace tmhost {

const char* const kDescribeArguments = "[SCENE] [--set NAME=VALUE]... [--module PATH]";
const char* const kDescribeSummary =
    "show the shader's parameters as the module describes them, with the values of SCENE "
    "(default: the built-in scene) and whether each is enabled for them";

namespace {

std::string number_text(const ParameterInfo& parameter, double value) {
    return parameter.type == ParameterType::real ? real_text(static_cast<float>(value))
                                                 : std::to_string(static_cast<long long>(value));
}

std::string default_text(const ParameterInfo& parameter) {
    const nlohmann::json& value = parameter.default_value;
    if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
    if (value.is_number()) return number_text(parameter, value.get<double>());
    return value.is_null() ? "-" : value.dump();
}

std::string range_text(const ParameterInfo& parameter) {
    if (!parameter.choices.empty()) {
        std::string text;
        for (const ParameterChoice& choice : parameter.choices) {
            text += (text.empty() ? "" : ", ") + std::to_string(choice.value) + ": " + choice.label;
        }
        return text;
    }
    if (parameter.min || parameter.max) {
        return (parameter.min ? number_text(parameter, *parameter.min) : "") + " .. " +
               (parameter.max ? number_text(parameter, *parameter.max) : "");
    }
    return "-";
}

std::string value_text(const ParameterInfo& parameter, const Container& container,
                       const Scene& scene) {
    if (parameter.type == ParameterType::light_list) {
        if (!scene.light_list) return "-";
        std::string names;
        for (int light : scene.light_list->lights) {
            names +=
                (names.empty() ? "" : ", ") + scene.lights[static_cast<std::size_t>(light)].name;
        }
        return names.empty() ? "(empty)" : names;
    }
    if (container.find_index(parameter.id) < 0) return "-";
    switch (parameter.type) {
    case ParameterType::real:
        return real_text(container.get_real(parameter.id));
    case ParameterType::boolean:
        return container.get_bool(parameter.id) != 0 ? "true" : "false";
    default:
        return std::to_string(container.get_long(parameter.id));
    }
}

int describe(const std::vector<std::string>& arguments, const CommandContext& context) {
    const CommandLine line(arguments,
                           {{"--set", nullptr, true, true},
                            {"--module", nullptr, true, false},
                            {"--help", "-h", false, false}},
                           "scene file");
    if (line.has("--help")) {
        context.report.out(std::string("usage: tonemix-host describe ") + kDescribeArguments);
        context.report.out(std::string("  ") + kDescribeSummary);
        return COMMAND_CLEAN;
    }
    const LoadedScene loaded = load_scene(line.positional());
    ModuleSession session(module_path(line.value("--module"), context), context.adjust_host);
    SceneLights lights(loaded.scene);
    const ParameterSheet& sheet = session.sheet();
    const ParameterValues values =
        scene_parameter_values(sheet, loaded, lights, line.values("--set"));

    std::vector<std::vector<std::string>> rows = {
        {"name", "id", "type", "default", "value", "range / choices", "label", "group", "enabled"}};
    {
        ShaderInstance instance(session.shader(), session.host().containers());
        instance.init_defaults();
        apply_scene_values(sheet, values, lights, instance.container());
        for (const ParameterInfo& parameter : sheet.parameters()) {
            DescriptionIdHandle id =
                session.host().description_library().description_id(parameter.id);
            const bool enabled = session.shader().is_parameter_enabled(
                                     instance.node(), instance.host_node(), id) != 0;
            rows.push_back(
                {parameter.name, std::to_string(parameter.id), parameter_type_name(parameter.type),
                 default_text(parameter), value_text(parameter, instance.container(), loaded.scene),
                 range_text(parameter), parameter.label, parameter.group, enabled ? "yes" : "no"});
        }
    }
    const std::vector<std::string> left = session.finish();
    for (const std::string& warning : left) context.report.warning("module: " + warning);
    context.report.out("shader " + std::to_string(kTonemixShaderId) + ", description " +
                       sheet.description_name() + ", values of the " +
                       (line.positional() ? "scene " + loaded.label : loaded.label));
    for (const std::string& text : format_table(rows)) context.report.out(text);
    return left.empty() ? COMMAND_CLEAN : COMMAND_FAULT;
}

}  // namespace

int run_describe(const std::vector<std::string>& arguments, const CommandContext& context) {
    return run_reporting_errors("describe", describe, arguments, context);
}

}  // namespace tmhost
