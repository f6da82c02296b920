#include "host/core/description.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "host/core/description_rules.h"
#include "host/core/number_range.h"
#include "host/core/text_format.h"
#include "host/json/json_text.h"

namespace tmhost {

using nlohmann::json;

namespace {

constexpr const char* kPrefix = "TONEMIX_";
constexpr std::size_t kMaxParameters = 1000;

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Both spellings of a name meet in this form: upper case, with the prefix.
std::string canonical_name(const std::string& name) {
    const std::string text = upper(name);
    return text.rfind(kPrefix, 0) == 0 ? text : kPrefix + text;
}

std::string short_name_of(const std::string& name) {
    const std::string text = name.rfind(kPrefix, 0) == 0 ? name.substr(8) : name;
    return lower(text);
}

// The first fault of a description; reading stops there.
struct Fault {
    std::string what;
};

[[noreturn]] void fail(const std::string& what) { throw Fault{what}; }

int32_t word(const json& value, const std::string& where) {
    if (!value.is_number_integer()) fail(where + ": expected a whole number");
    const long long number = value.is_number_unsigned()
                                 ? static_cast<long long>(std::min<json::number_unsigned_t>(
                                       value.get<json::number_unsigned_t>(), 1ULL << 32))
                                 : value.get<long long>();
    if (number < INT32_MIN || number > INT32_MAX) fail(where + ": out of the 32-bit range");
    return static_cast<int32_t>(number);
}

WrittenValue written_value(const json& value) {
    WrittenValue out;
    out.json = value.dump(-1, ' ', false, json::error_handler_t::replace);
    if (value.is_number_integer()) {
        out.kind = WrittenValue::Kind::integer;
        const bool fits = value.is_number_unsigned()
                              ? value.get<json::number_unsigned_t>() <= INT32_MAX
                              : value.get<json::number_integer_t>() >= INT32_MIN &&
                                    value.get<json::number_integer_t>() <= INT32_MAX;
        if (fits) out.word = static_cast<int32_t>(value.get<json::number_integer_t>());
    } else if (value.is_number()) {
        out.kind = WrittenValue::Kind::real;
    } else if (value.is_boolean()) {
        out.kind = WrittenValue::Kind::boolean;
        out.boolean = value.get<bool>();
    } else {
        out.kind = WrittenValue::Kind::other;
    }
    if (value.is_number()) out.number = value.get<double>();
    return out;
}

std::optional<double> bound(const json& parameter, const char* key, const std::string& where,
                            WrittenValue* written) {
    if (!parameter.contains(key)) return std::nullopt;
    const json& value = parameter.at(key);
    if (!value.is_number() || !std::isfinite(value.get<double>())) {
        fail(where + "." + key + ": expected a number");
    }
    *written = written_value(value);
    return value.get<double>();
}

ParameterType type_of(const json& parameter, const std::string& where) {
    constexpr const char* kTypes = " (expected \"long\", \"real\", \"bool\" or \"lightlist\")";
    if (!parameter.contains("type")) fail(where + ".type: missing" + kTypes);
    const json& value = parameter.at("type");
    const std::string text = value.is_string() ? value.get<std::string>() : std::string();
    if (text == "long") return ParameterType::integer;
    if (text == "real") return ParameterType::real;
    if (text == "bool") return ParameterType::boolean;
    if (text == "lightlist") return ParameterType::light_list;
    fail(where + ".type: unknown type " +
         value.dump(-1, ' ', false, json::error_handler_t::replace) + kTypes);
}

// A light list's data is the host's custom type of that library id: without one the module's
// list has nothing to be read as.
int32_t custom_type_of(const json& entry, ParameterType type, const std::string& where) {
    if (!entry.contains("custom_type")) {
        if (type == ParameterType::light_list) {
            fail(where + ".custom_type: missing (a lightlist names the library id of its data)");
        }
        return 0;
    }
    return word(entry.at("custom_type"), where + ".custom_type");
}

// A field of the wrong kind reads as absent: labels and help only inform.
std::string text(const json& object, const char* key) {
    return object.contains(key) && object.at(key).is_string() ? object.at(key).get<std::string>()
                                                              : std::string();
}

// A key the description format does not have is most likely a misspelt one that would otherwise
// be ignored without a word ("choises", "defualt").
void only_known_keys(const json& object, std::initializer_list<const char*> known,
                     const std::string& where) {
    for (auto item = object.begin(); item != object.end(); ++item) {
        bool listed = false;
        for (const char* key : known) listed = listed || item.key() == key;
        if (!listed) {
            fail(where + (where.empty() ? "" : ": ") + "unknown key " + quoted(item.key()));
        }
    }
}

// The groups' labels by id. A group is an object with a string id.
std::map<std::string, std::string> group_labels_of(const json& document) {
    std::map<std::string, std::string> labels;
    if (!document.contains("groups")) return labels;
    const json& groups = document.at("groups");
    if (!groups.is_array()) fail("groups: expected an array");
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const json& group = groups[g];
        const std::string where = "groups[" + std::to_string(g) + "]";
        if (!group.is_object()) fail(where + ": expected an object");
        only_known_keys(group, {"id", "label"}, where);
        const std::string id = text(group, "id");
        if (id.empty()) fail(where + ".id: missing");
        const std::string label = text(group, "label");
        if (!labels.emplace(id, label.empty() ? id : label).second) {
            fail(where + ".id: " + quoted(id) + " appears twice");
        }
    }
    return labels;
}

std::vector<ParameterChoice> choices_of(const json& entry, const std::string& where) {
    std::vector<ParameterChoice> out;
    if (!entry.contains("choices")) return out;
    const json& choices = entry.at("choices");
    if (!choices.is_array()) fail(where + ".choices: expected an array");
    // No choice to offer is a list that can only refuse; two of one label, a user who cannot tell
    // which is meant (a value given by its label takes the first).
    if (choices.empty()) fail(where + ".choices: empty");
    std::set<std::string> labels;
    std::map<int32_t, std::size_t> values;
    for (std::size_t c = 0; c < choices.size(); ++c) {
        const std::string at = where + ".choices[" + std::to_string(c) + "]";
        if (!choices[c].is_object() || !choices[c].contains("value")) {
            fail(at + ": expected an object with a value");
        }
        only_known_keys(choices[c], {"value", "label"}, at);
        const std::string label = text(choices[c], "label");
        if (!label.empty() && !labels.insert(lower(label)).second) {
            fail(at + ": the label " + quoted(label) + " appears twice");
        }
        const int32_t value = word(choices[c].at("value"), at + ".value");
        // Two labels of one value: the value shows as the first, and the other is never shown.
        const auto seen = values.emplace(value, c);
        if (!seen.second) {
            fail(at + ".value: " + std::to_string(value) + " is the value of choices[" +
                 std::to_string(seen.first->second) + "] too");
        }
        out.push_back({value, label});
    }
    return out;
}

}  // namespace

const char* parameter_type_name(ParameterType type) {
    switch (type) {
    case ParameterType::integer:
        return "long";
    case ParameterType::real:
        return "real";
    case ParameterType::boolean:
        return "bool";
    case ParameterType::light_list:
        return "lightlist";
    }
    return "?";
}

std::optional<Element> Parameter::default_element() const {
    Element out;
    out.id = id;
    using Kind = WrittenValue::Kind;
    if (type == ParameterType::integer && default_value.kind == Kind::integer) {
        if (!default_value.word) return std::nullopt;
        out.type = ValueType::integer;
        out.word = *default_value.word;
        return out;
    }
    if (type == ParameterType::real &&
        (default_value.kind == Kind::integer || default_value.kind == Kind::real)) {
        if (!fits_float(default_value.number)) return std::nullopt;
        out.type = ValueType::real;
        out.real = static_cast<float>(default_value.number);
        return out;
    }
    if (type == ParameterType::boolean && default_value.kind == Kind::boolean) {
        out.type = ValueType::boolean;
        out.word = default_value.boolean ? 1 : 0;
        return out;
    }
    return std::nullopt;
}

Description Description::read(const std::string& file_text) {
    json document;
    try {
        JsonLimits limits;
        limits.unique_keys = true;  // of two, one would be read without a word
        document = parse_json_text(file_text, limits);
    } catch (const JsonTextError& e) {
        throw DescriptionTextError(e.what());
    }
    if (!document.is_object()) {
        const std::string kind = document.is_array()     ? "an array"
                                 : document.is_string()  ? "a string"
                                 : document.is_number()  ? "a number"
                                 : document.is_boolean() ? "true or false"
                                                         : "null";
        throw DescriptionTextError("top level: expected an object, not " + kind);
    }
    const auto name = document.find("name");
    if (name == document.end()) throw DescriptionTextError("name: missing");
    if (!name->is_string()) throw DescriptionTextError("name: expected a string");
    Description description;
    description.name_ = name->get<std::string>();
    try {
        if (!document.contains("parameters")) fail("no parameter list");
        if (!document.at("parameters").is_array()) fail("parameters: expected an array");
        only_known_keys(document, {"name", "label", "groups", "parameters"}, "");
        const std::map<std::string, std::string> group_labels = group_labels_of(document);
        const json& list = document.at("parameters");
        // Far more than any shader offers; every command reads each of them.
        if (list.size() > kMaxParameters) {
            fail("more than " + std::to_string(kMaxParameters) + " parameters (" +
                 std::to_string(list.size()) + ")");
        }
        // Names and ids seen so far, so that the check stays linear in the count.
        ParameterIndex seen;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const json& entry = list[i];
            const std::string where = "parameters[" + std::to_string(i) + "]";
            if (!entry.is_object()) fail(where + ": expected an object");
            Parameter parameter;
            only_known_keys(entry,
                            {"id", "name", "type", "label", "group", "help", "default", "min",
                             "max", "choices", "custom_type"},
                            where);
            if (!entry.contains("id")) fail(where + ": no id");
            parameter.id = word(entry.at("id"), where + ".id");
            parameter.name = text(entry, "name");
            if (parameter.name.empty()) fail(where + ": no name");
            if (auto fault = name_fault(parameter.name, where)) fail(*fault);
            if (auto fault = seen.add(parameter, canonical_name(parameter.name), i)) fail(*fault);
            parameter.short_name = short_name_of(parameter.name);
            parameter.label = text(entry, "label");
            parameter.help = text(entry, "help");
            const std::string group = text(entry, "group");
            const auto found = group_labels.find(group);
            if (!group.empty() && found == group_labels.end()) {
                fail(where + ".group: unknown group " + quoted(group) +
                     (document.contains("groups") ? "" : " (the description has no \"groups\")"));
            }
            parameter.group = found != group_labels.end() ? found->second : group;
            parameter.type = type_of(entry, where);
            parameter.custom_type = custom_type_of(entry, parameter.type, where);
            if (entry.contains("default")) {
                parameter.default_value = written_value(entry.at("default"));
            }
            parameter.min = bound(entry, "min", where, &parameter.min_written);
            parameter.max = bound(entry, "max", where, &parameter.max_written);
            if (auto fault = bounds_fault(parameter, where)) fail(*fault);
            parameter.choices = choices_of(entry, where);
            description.parameters_.push_back(std::move(parameter));
        }
    } catch (const Fault& fault) {
        description.fault_ = "description " + description.name_ + ": " + fault.what;
    }
    return description;
}

const Parameter* Description::find(const std::string& name) const {
    const std::string wanted = canonical_name(name);
    for (const Parameter& parameter : parameters_) {
        if (canonical_name(parameter.name) == wanted) return &parameter;
    }
    return nullptr;
}

const Parameter* Description::find(int32_t id) const {
    for (const Parameter& parameter : parameters_) {
        if (parameter.id == id) return &parameter;
    }
    return nullptr;
}

const Parameter* Description::find(ParameterType type) const {
    for (const Parameter& parameter : parameters_) {
        if (parameter.type == type) return &parameter;
    }
    return nullptr;
}

std::string Description::short_names() const {
    std::string names;
    for (const Parameter& parameter : parameters_) {
        if (parameter.type == ParameterType::light_list) continue;
        names += (names.empty() ? "" : ", ") + parameter.short_name;
    }
    return names;
}

}  // namespace tmhost
