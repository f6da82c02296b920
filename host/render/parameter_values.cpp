#include "host/render/parameter_values.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>

#include "host/render/render_error.h"

namespace tmhost {

using nlohmann::json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw RenderError(where + ": " + what);
}

// The value as the message shows it. Text from a command line need not be UTF-8: a byte that is
// not is shown as U+FFFD rather than failing the message itself.
std::string shown(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string number_text(double value) {
    json number = value;
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        number = static_cast<long long>(value);
    return number.dump();
}

bool same_words(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string choice_list(const Parameter& parameter) {
    std::string text;
    for (const ParameterChoice& choice : parameter.choices) {
        text += (text.empty() ? "" : ", ") + std::to_string(choice.value);
        if (!choice.label.empty()) text += " (" + choice.label + ")";
    }
    return text;
}

// The range a value is held to: the description's bounds where they lie inside the type's own
// range, that range where they reach beyond it.
std::string range_text(double low, double high) {
    return "from " + number_text(low) + " to " + number_text(high);
}

int32_t check_integer(const Parameter& parameter, const json& value, const std::string& where) {
    if (!parameter.choices.empty()) {
        for (const ParameterChoice& choice : parameter.choices) {
            if (value.is_string() && same_words(value.get<std::string>(), choice.label)) {
                return choice.value;
            }
            if (value.is_number_integer() && value.get<long long>() == choice.value &&
                !(value.is_number_unsigned() && value.get<unsigned long long>() > INT32_MAX)) {
                return choice.value;
            }
        }
        fail(where, "expected one of " + choice_list(parameter) + ", got " + shown(value));
    }
    const double low = std::max<double>(parameter.min.value_or(INT32_MIN), INT32_MIN);
    const double high = std::min<double>(parameter.max.value_or(INT32_MAX), INT32_MAX);
    const std::string expected = "expected a whole number " + range_text(low, high);
    if (!value.is_number_integer()) fail(where, expected + ", got " + shown(value));
    // Every 32-bit number is exact in a double; larger ones only need to compare as too large.
    const double number = value.is_number_unsigned()
                              ? static_cast<double>(value.get<unsigned long long>())
                              : static_cast<double>(value.get<long long>());
    if (number < low || number > high) fail(where, expected + ", got " + shown(value));
    return static_cast<int32_t>(number);
}

float check_real(const Parameter& parameter, const json& value, const std::string& where) {
    const double largest = std::numeric_limits<float>::max();
    const double low = std::max(parameter.min.value_or(-largest), -largest);
    const double high = std::min(parameter.max.value_or(largest), largest);
    const std::string expected = "expected a number " + range_text(low, high);
    if (!value.is_number()) fail(where, expected + ", got " + shown(value));
    const double number = value.get<double>();
    if (!(number >= low && number <= high)) fail(where, expected + ", got " + shown(value));
    return static_cast<float>(number);
}

}  // namespace

ParameterValue check_parameter_value(const Parameter& parameter, const json& value,
                                     const std::string& where) {
    ParameterValue checked;
    checked.parameter = &parameter;
    switch (parameter.type) {
    case ParameterType::integer:
        checked.word = check_integer(parameter, value, where);
        break;
    case ParameterType::real:
        checked.real = check_real(parameter, value, where);
        break;
    case ParameterType::boolean:
        if (!value.is_boolean()) fail(where, "expected true or false, got " + value.dump());
        checked.word = value.get<bool>() ? 1 : 0;
        break;
    case ParameterType::light_list:
        fail(where, "a light list is set by the scene's light_list, not as a value");
    }
    return checked;
}

json parse_set_value(const std::string& text) {
    json value = json::parse(text, nullptr, false);
    if (value.is_discarded() || value.is_object() || value.is_array()) return json(text);
    return value;
}

const Parameter& ParameterValues::settable(const std::string& name,
                                           const std::string& where) const {
    const Parameter* parameter = description_.find(name);
    if (parameter == nullptr) {
        fail(where, "unknown parameter (the shader has: " + description_.short_names() + ")");
    }
    return *parameter;
}

void ParameterValues::add_scene(const json& shader, const std::string& where) {
    if (!shader.is_object()) fail(where + ": shader", "expected an object");
    // Checked in full before any is kept, so a faulty scene changes nothing.
    std::vector<ParameterValue> checked;
    for (const auto& member : shader.items()) {
        const std::string at = where + ": shader." + member.key();
        const Parameter& parameter = settable(member.key(), at);
        // "samples" and "TONEMIX_SAMPLES" in one scene: which one wins would be an accident of
        // the order of keys.
        for (const ParameterValue& earlier : checked) {
            if (earlier.parameter == &parameter) fail(at, parameter.name + " is set twice");
        }
        checked.push_back(check_parameter_value(parameter, member.value(), at));
    }
    for (const ParameterValue& value : checked) set(value);
}

void ParameterValues::add_assignment(const std::string& assignment) {
    const std::string where = "--set " + assignment;
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) fail(where, "expected NAME=VALUE");
    const Parameter& parameter = settable(assignment.substr(0, equals), where);
    set(check_parameter_value(parameter, parse_set_value(assignment.substr(equals + 1)), where));
}

void ParameterValues::set(const ParameterValue& value) {
    for (ParameterValue& existing : values_) {
        if (existing.parameter->id == value.parameter->id) {
            existing = value;
            return;
        }
    }
    values_.push_back(value);
}

const ParameterValue* ParameterValues::find(int32_t id) const {
    for (const ParameterValue& value : values_) {
        if (value.parameter->id == id) return &value;
    }
    return nullptr;
}

void ParameterValues::apply(Container& container) const {
    for (const ParameterValue& value : values_) {
        const int32_t id = value.parameter->id;
        switch (value.parameter->type) {
        case ParameterType::integer:
            container.set_long(id, value.word);
            break;
        case ParameterType::real:
            container.set_real(id, value.real);
            break;
        case ParameterType::boolean:
            container.set_bool(id, value.word);
            break;
        case ParameterType::light_list:
            break;
        }
    }
}

}  // namespace tmhost
