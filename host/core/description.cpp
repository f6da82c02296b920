#include "host/core/description.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

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
    const json* value = parameter.contains("type") ? &parameter.at("type") : nullptr;
    const std::string text =
        value != nullptr && value->is_string() ? value->get<std::string>() : std::string();
    if (text == "long") return ParameterType::integer;
    if (text == "real") return ParameterType::real;
    if (text == "bool") return ParameterType::boolean;
    if (text == "lightlist") return ParameterType::light_list;
    fail(where + ": unknown type " + (value != nullptr ? value->dump() : "(none)"));
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

std::vector<ParameterChoice> choices_of(const json& entry, const std::string& where) {
    std::vector<ParameterChoice> out;
    if (!entry.contains("choices")) return out;
    const json& choices = entry.at("choices");
    if (!choices.is_array()) fail(where + ".choices: expected an array");
    // No choice to offer is a list that can only refuse; two of one label, a user who cannot tell
    // which is meant (a value given by its label takes the first).
    if (choices.empty()) fail(where + ".choices: empty");
    std::set<std::string> labels;
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
        out.push_back({word(choices[c].at("value"), at + ".value"), label});
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
        document = parse_json_text(file_text);
    } catch (const JsonTextError& e) {
        throw DescriptionTextError(e.what());
    }
    auto name = document.is_object() ? document.find("name") : document.end();
    if (!document.is_object() || name == document.end() || !name->is_string()) {
        throw DescriptionTextError("no string \"name\"");
    }
    Description description;
    if (document.is_object()) description.name_ = text(document, "name");
    try {
        if (!document.is_object() || !document.contains("parameters") ||
            !document.at("parameters").is_array()) {
            fail("no parameter list");
        }
        only_known_keys(document, {"name", "label", "groups", "parameters"}, "");
        std::map<std::string, std::string> group_labels;
        if (document.contains("groups") && document.at("groups").is_array()) {
            const json& groups = document.at("groups");
            for (std::size_t g = 0; g < groups.size(); ++g) {
                const json& group = groups[g];
                if (!group.is_object()) continue;
                only_known_keys(group, {"id", "label"}, "groups[" + std::to_string(g) + "]");
                const std::string id = text(group, "id");
                const std::string label = text(group, "label");
                group_labels[id] = label.empty() ? id : label;
            }
        }
        const json& list = document.at("parameters");
        // Far more than any shader offers; every command reads each of them.
        if (list.size() > kMaxParameters) {
            fail("more than " + std::to_string(kMaxParameters) + " parameters (" +
                 std::to_string(list.size()) + ")");
        }
        // Names and ids seen so far, so that the check stays linear in the count.
        std::set<std::string> names;
        std::set<int32_t> ids;
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
            if (!names.insert(canonical_name(parameter.name)).second ||
                !ids.insert(parameter.id).second) {
                fail(where + ": " + parameter.name + " appears twice");
            }
            parameter.short_name = short_name_of(parameter.name);
            parameter.label = text(entry, "label");
            parameter.help = text(entry, "help");
            const std::string group = text(entry, "group");
            const auto found = group_labels.find(group);
            if (!group.empty() && found == group_labels.end()) {
                fail(where + ": unknown group " + quoted(group));
            }
            parameter.group = found != group_labels.end() ? found->second : group;
            parameter.type = type_of(entry, where);
            if (entry.contains("custom_type") && entry.at("custom_type").is_number_integer()) {
                parameter.custom_type = entry.at("custom_type").get<int32_t>();
            }
            if (entry.contains("default")) {
                parameter.default_value = written_value(entry.at("default"));
            }
            parameter.min = bound(entry, "min", where, &parameter.min_written);
            parameter.max = bound(entry, "max", where, &parameter.max_written);
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
