#include "host/commands/parameter_table.h"

#include <sstream>

#include <nlohmann/json.hpp>

#include "host/commands/text_table.h"

namespace tmhost {

namespace {

// The value as the description wrote it; null when it gives none.
nlohmann::json json_of(const WrittenValue& value) {
    return value.given() ? nlohmann::json::parse(value.json) : nlohmann::json();
}

constexpr const char* kDiffers = "*";
constexpr std::size_t kHelpIndent = 4;

std::string title(const ParameterTable& table) {
    return "shader " + std::to_string(table.shader) + ", description " + table.description +
           ", values of " + table.values_of;
}

std::string range_label(const Parameter& parameter) {
    return parameter.choices.empty() ? "range: " : "choices: ";
}

}  // namespace

std::vector<std::string> parameter_table_lines(const ParameterTable& table) {
    std::vector<std::vector<std::string>> cells = {{"name", "type", "default", "value", "enabled"}};
    bool any_differs = false;
    for (const ParameterRow& row : table.rows) {
        any_differs = any_differs || row.differs();
        cells.push_back({row.parameter->short_name, parameter_type_name(row.parameter->type),
                         row.default_text, row.value_text + (row.differs() ? kDiffers : ""),
                         row.enabled ? "yes" : "no"});
    }
    const std::vector<std::string> formatted = format_table(cells);
    std::vector<std::string> lines = {title(table), formatted.front()};
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const ParameterRow& row = table.rows[i];
        lines.push_back(formatted[i + 1]);
        for (std::string& line : wrap_text(row.parameter->help, kHelpIndent)) {
            lines.push_back(std::move(line));
        }
        if (row.range_text != "-") {
            for (std::string& line :
                 wrap_text(range_label(*row.parameter) + row.range_text, kHelpIndent)) {
                lines.push_back(std::move(line));
            }
        }
    }
    if (any_differs) lines.push_back(std::string(kDiffers) + " not the default");
    return lines;
}

std::vector<std::string> parameter_table_json(const ParameterTable& table) {
    nlohmann::json parameters = nlohmann::json::array();
    for (const ParameterRow& row : table.rows) {
        const Parameter& parameter = *row.parameter;
        nlohmann::json entry = {
            {"name", parameter.name},   {"short_name", parameter.short_name},
            {"id", parameter.id},       {"type", parameter_type_name(parameter.type)},
            {"label", parameter.label}, {"group", parameter.group},
            {"help", parameter.help},   {"default", json_of(parameter.default_value)},
            {"value", row.value},       {"differs_from_default", row.differs()},
            {"enabled", row.enabled},
        };
        if (parameter.min_written.given()) entry["min"] = json_of(parameter.min_written);
        if (parameter.max_written.given()) entry["max"] = json_of(parameter.max_written);
        if (!parameter.choices.empty()) {
            nlohmann::json choices = nlohmann::json::array();
            for (const ParameterChoice& choice : parameter.choices) {
                choices.push_back({{"value", choice.value}, {"label", choice.label}});
            }
            entry["choices"] = std::move(choices);
        }
        parameters.push_back(std::move(entry));
    }
    const nlohmann::json document = {{"shader", table.shader},
                                     {"description", table.description},
                                     {"values_of", table.values_of},
                                     {"parameters", std::move(parameters)}};
    // Text the description holds that is not UTF-8 is replaced rather than refused.
    std::istringstream text(document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

}  // namespace tmhost
