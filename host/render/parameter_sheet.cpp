#include "host/render/parameter_sheet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>

#include "host/render/render_error.h"

namespace tmhost {

using nlohmann::json;

namespace {

constexpr const char* kPrefix = "TONEMIX_";

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

class DescriptionReader {
public:
    explicit DescriptionReader(std::string name) : name_(std::move(name)) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw RenderError("description " + name_ + ": " + what);
    }

    int32_t word(const json& value, const std::string& where) const {
        if (!value.is_number_integer()) fail(where + ": expected a whole number");
        const long long number = value.is_number_unsigned()
                                     ? static_cast<long long>(std::min<json::number_unsigned_t>(
                                           value.get<json::number_unsigned_t>(), 1ULL << 32))
                                     : value.get<long long>();
        if (number < INT32_MIN || number > INT32_MAX) fail(where + ": out of the 32-bit range");
        return static_cast<int32_t>(number);
    }

    std::optional<double> bound(const json& parameter, const char* key,
                                const std::string& where) const {
        if (!parameter.contains(key)) return std::nullopt;
        const json& value = parameter.at(key);
        if (!value.is_number() || !std::isfinite(value.get<double>())) {
            fail(where + "." + key + ": expected a number");
        }
        return value.get<double>();
    }

    ParameterType type(const json& parameter, const std::string& where) const {
        const json* value = parameter.contains("type") ? &parameter.at("type") : nullptr;
        const std::string text =
            value != nullptr && value->is_string() ? value->get<std::string>() : std::string();
        if (text == "long") return ParameterType::integer;
        if (text == "real") return ParameterType::real;
        if (text == "bool") return ParameterType::boolean;
        if (text == "lightlist") return ParameterType::light_list;
        fail(where + ": unknown type " + (value != nullptr ? value->dump() : "(none)"));
    }

    std::string text(const json& object, const char* key) const {
        return object.contains(key) && object.at(key).is_string()
                   ? object.at(key).get<std::string>()
                   : std::string();
    }

private:
    std::string name_;
};

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

ParameterSheet ParameterSheet::from_description(const json& description) {
    ParameterSheet sheet;
    if (description.is_object() && description.contains("name") &&
        description.at("name").is_string()) {
        sheet.description_name_ = description.at("name").get<std::string>();
    }
    const DescriptionReader reader(sheet.description_name_);
    if (!description.is_object() || !description.contains("parameters") ||
        !description.at("parameters").is_array()) {
        reader.fail("no parameter list");
    }

    std::map<std::string, std::string> group_labels;
    if (description.contains("groups") && description.at("groups").is_array()) {
        for (const json& group : description.at("groups")) {
            if (!group.is_object()) continue;
            const std::string id = reader.text(group, "id");
            const std::string label = reader.text(group, "label");
            group_labels[id] = label.empty() ? id : label;
        }
    }

    const json& list = description.at("parameters");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& entry = list[i];
        const std::string where = "parameters[" + std::to_string(i) + "]";
        if (!entry.is_object()) reader.fail(where + ": expected an object");
        ParameterInfo info;
        if (!entry.contains("id")) reader.fail(where + ": no id");
        info.id = reader.word(entry.at("id"), where + ".id");
        info.name = reader.text(entry, "name");
        if (info.name.empty()) reader.fail(where + ": no name");
        if (sheet.find(info.name) != nullptr || sheet.find(info.id) != nullptr) {
            reader.fail(where + ": " + info.name + " appears twice");
        }
        info.short_name = short_name_of(info.name);
        info.label = reader.text(entry, "label");
        const std::string group = reader.text(entry, "group");
        const auto found = group_labels.find(group);
        info.group = found != group_labels.end() ? found->second : group;
        info.type = reader.type(entry, where);
        if (entry.contains("default")) info.default_value = entry.at("default");
        info.min = reader.bound(entry, "min", where);
        info.max = reader.bound(entry, "max", where);
        if (entry.contains("choices")) {
            const json& choices = entry.at("choices");
            if (!choices.is_array()) reader.fail(where + ".choices: expected an array");
            for (std::size_t c = 0; c < choices.size(); ++c) {
                const std::string at = where + ".choices[" + std::to_string(c) + "]";
                if (!choices[c].is_object() || !choices[c].contains("value")) {
                    reader.fail(at + ": expected an object with a value");
                }
                info.choices.push_back({reader.word(choices[c].at("value"), at + ".value"),
                                        reader.text(choices[c], "label")});
            }
        }
        sheet.parameters_.push_back(std::move(info));
    }
    return sheet;
}

const ParameterInfo* ParameterSheet::find(const std::string& name) const {
    const std::string wanted = canonical_name(name);
    for (const ParameterInfo& info : parameters_) {
        if (canonical_name(info.name) == wanted) return &info;
    }
    return nullptr;
}

const ParameterInfo* ParameterSheet::find(int32_t id) const {
    for (const ParameterInfo& info : parameters_) {
        if (info.id == id) return &info;
    }
    return nullptr;
}

const ParameterInfo* ParameterSheet::find(ParameterType type) const {
    for (const ParameterInfo& info : parameters_) {
        if (info.type == type) return &info;
    }
    return nullptr;
}

std::string ParameterSheet::short_names() const {
    std::string text;
    for (const ParameterInfo& info : parameters_) {
        if (info.type == ParameterType::light_list) continue;
        text += (text.empty() ? "" : ", ") + info.short_name;
    }
    return text;
}

}  // namespace tmhost
