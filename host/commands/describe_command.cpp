#include <cmath>
#include <cstdlib>

#include "host/commands/camera_options.h"
#include "host/commands/command.h"
#include "host/commands/command_bodies.h"
#include "host/commands/command_line.h"
#include "host/commands/parameter_table.h"
#include "host/commands/scene_shading.h"
#include "host/core/number_range.h"
#include "host/core/text_format.h"
#include "host/render/scene_source.h"
#include "host/render/shader_instance.h"

namespace tmhost {

namespace {

// A number of the description in the parameter's own type where it fits: a real as a float, a
// long as a whole number. One beyond that type's range is shown as the description writes it,
// rather than wrapped round or as an infinity.
std::string number_text(const Parameter& parameter, const WrittenValue& written) {
    if (written.kind == WrittenValue::Kind::integer && parameter.type != ParameterType::real) {
        return written.json;
    }
    const double value = written.number;
    if (parameter.type == ParameterType::real) {
        return fits_float(value) ? real_text(static_cast<float>(value)) : written.json;
    }
    return fits_long_long(value) ? std::to_string(static_cast<long long>(value)) : written.json;
}

std::string default_text(const Parameter& parameter) {
    const WrittenValue& value = parameter.default_value;
    switch (value.kind) {
    case WrittenValue::Kind::none:
        return "-";
    case WrittenValue::Kind::boolean:
        return value.boolean ? "true" : "false";
    case WrittenValue::Kind::integer:
    case WrittenValue::Kind::real:
        return number_text(parameter, value);
    case WrittenValue::Kind::other:
        break;
    }
    return value.json;
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

// The node's value in its own type, for scripts: what value_text shows, as JSON.
nlohmann::json value_json(const Parameter& parameter, const Container& container,
                          const Scene& scene) {
    if (parameter.type == ParameterType::light_list) {
        if (!scene.light_list) return nullptr;
        nlohmann::json names = nlohmann::json::array();
        for (int light : scene.light_list->lights) {
            names.push_back(scene.lights[static_cast<std::size_t>(light)].name);
        }
        return names;
    }
    if (container.find_index(parameter.id) < 0) return nullptr;
    switch (parameter.type) {
    case ParameterType::real: {
        // The shortest decimal that reads back as the float, as the table shows it, rather than
        // the float's double with its binary tail (0.800000011920929).
        const float value = container.get_real(parameter.id);
        if (!std::isfinite(value)) return nullptr;
        return std::strtod(real_text(value).c_str(), nullptr);
    }
    case ParameterType::boolean:
        return container.get_bool(parameter.id) != 0;
    default:
        return container.get_long(parameter.id);
    }
}

}  // namespace

ParameterTable described_parameters(ModuleSession& session, LoadedScene loaded, bool from_file,
                                    const std::vector<std::string>& assignments,
                                    CommandOutput& output) {
    const Description& description = session.description();
    const std::vector<std::string> others =
        apply_light_assignments(description, loaded, assignments);
    SceneLights lights(loaded.scene);
    const ParameterValues values = scene_parameter_values(description, loaded, lights, others);
    for (const std::string& note : loaded.scene.notes) output.warning(note);
    if (const auto reach = reach_warning(description, values, loaded.scene)) {
        output.warning(*reach);
    }

    ParameterTable table;
    table.shader = kTonemixShaderId;
    table.description = description.name();
    table.values_of = from_file ? "the scene " + loaded.label : "the " + loaded.label;
    ShaderInstance instance(session.shader(), session.host().containers());
    instance.init_defaults();
    apply_scene_values(description, values, lights, instance.container());
    for (const Parameter& parameter : description.parameters()) {
        DescriptionIdHandle id = session.host().description_library().description_id(parameter.id);
        ParameterRow row;
        row.parameter = &parameter;
        row.default_text = default_text(parameter);
        row.value_text = value_text(parameter, instance.container(), loaded.scene);
        row.value = value_json(parameter, instance.container(), loaded.scene);
        row.range_text = range_text(parameter);
        row.enabled =
            session.shader().is_parameter_enabled(instance.node(), instance.host_node(), id) != 0;
        table.rows.push_back(std::move(row));
    }
    return table;
}

int describe_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output) {
    // The scene before the module: a bad scene is said without loading anything.
    LoadedScene loaded = load_scene(line.positional(), stage_options(line));
    CommandSession command_session(module_path(line.value("--module"), settings),
                                   description_trust(line), settings);
    const ParameterTable table =
        described_parameters(command_session.get(), std::move(loaded),
                             line.positional().has_value(), line.values("--set"), output);
    const std::vector<std::string> left = command_session.finish();
    for (const std::string& warning : left) output.warning("module: " + warning);
    for (std::string& text :
         line.has("--json") ? parameter_table_json(table) : parameter_table_lines(table)) {
        output.out(std::move(text));
    }
    return left.empty() ? EXIT_CLEAN : EXIT_FAULT;
}

const std::vector<OptionRule>& describe_options() {
    static const std::vector<OptionRule> rules = {
        OptionRule::valued("--set", "NAME=VALUE",
                           "a shader parameter over the scene's value, by its name or short name")
            .repeated(),
        OptionRule::flag("--json", "print the parameters as one JSON document, for scripts"),
        camera_option_rules()[0],  // --up
        camera_option_rules()[1],  // --camera-index
        kModuleOption,
        kTrustDescriptionOption,
        kHelpOption,
    };
    return rules;
}

}  // namespace tmhost
