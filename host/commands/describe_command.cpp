#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/commands/text_table.h"
#include "host/core/number_range.h"
#include "host/core/text_format.h"
#include "host/render/scene_source.h"
#include "host/render/shader_instance.h"

namespace tmhost {

namespace {

// A number of the description in the parameter's own type where it fits: a real as a float, a
// long as a whole number. One beyond that type's range is shown as the description writes it,
// rather than wrapped round or as an infinity.
std::string number_text(const Parameter& parameter, const nlohmann::json& written) {
    if (written.is_number_integer() && parameter.type != ParameterType::real) return written.dump();
    const double value = written.get<double>();
    if (parameter.type == ParameterType::real) {
        return fits_float(value) ? real_text(static_cast<float>(value)) : written.dump();
    }
    return fits_long_long(value) ? std::to_string(static_cast<long long>(value)) : written.dump();
}

std::string default_text(const Parameter& parameter) {
    const nlohmann::json& value = parameter.default_value;
    if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
    if (value.is_number()) return number_text(parameter, value);
    return value.is_null() ? "-" : value.dump();
}

std::string range_text(const Parameter& parameter) {
    if (!parameter.choices.empty()) {
        std::string text;
        for (const ParameterChoice& choice : parameter.choices) {
            text += (text.empty() ? "" : ", ") + std::to_string(choice.value) + ": " + choice.label;
        }
        return text;
    }
    if (parameter.min || parameter.max) {
        return (parameter.min ? number_text(parameter, parameter.min_written) : "") + " .. " +
               (parameter.max ? number_text(parameter, parameter.max_written) : "");
    }
    return "-";
}

std::string value_text(const Parameter& parameter, const Container& container, const Scene& scene) {
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

int describe(const CommandArguments& arguments, const CommandSettings& settings,
             CommandOutput& output) {
    const CommandLine line(arguments,
                           {{"--set", nullptr, true, true},
                            {"--module", nullptr, true, false},
                            {"--trust-description", nullptr, false, false},
                            {"--help", "-h", false, false}},
                           "scene file");
    if (line.has("--help")) {
        for (std::string& text : usage_lines("describe")) output.out(std::move(text));
        return EXIT_CLEAN;
    }
    const LoadedScene loaded = load_scene(line.positional());
    ModuleSession session(module_path(line.value("--module"), settings), settings.prepare_host);
    session.require_shader(line.has("--trust-description")
                               ? ModuleSession::Trust::description_as_given
                               : ModuleSession::Trust::checked);
    SceneLights lights(loaded.scene);
    const Description& description = session.description();
    const ParameterValues values =
        scene_parameter_values(description, loaded, lights, line.values("--set"));

    std::vector<std::vector<std::string>> rows = {
        {"name", "id", "type", "default", "value", "range / choices", "label", "group", "enabled"}};
    {
        ShaderInstance instance(session.shader(), session.host().containers());
        instance.init_defaults();
        apply_scene_values(description, values, lights, instance.container());
        for (const Parameter& parameter : description.parameters()) {
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
    for (const std::string& warning : left) output.warning("module: " + warning);
    output.out("shader " + std::to_string(kTonemixShaderId) + ", description " +
               description.name() + ", values of the " +
               (line.positional() ? "scene " + loaded.label : loaded.label));
    for (const std::string& text : format_table(rows)) output.out(text);
    return left.empty() ? EXIT_CLEAN : EXIT_FAULT;
}

}  // namespace

CommandOutput run_describe(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_reporting_errors("describe", describe, arguments, settings);
}

}  // namespace tmhost
