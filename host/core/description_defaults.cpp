#include "host/core/description_defaults.h"

#include <set>

namespace tmhost {

namespace {

// The element the default asks for, or false when the description's default cannot be one.
bool expected_element(const nlohmann::json& type, const nlohmann::json& value, Element& out) {
    if (!type.is_string()) return false;
    if (type == "long" && value.is_number_integer()) {
        out.type = ValueType::integer;
        out.word = value.get<int32_t>();
        return true;
    }
    if (type == "real" && value.is_number()) {
        out.type = ValueType::real;
        out.real = value.get<float>();
        return true;
    }
    if (type == "bool" && value.is_boolean()) {
        out.type = ValueType::boolean;
        out.word = value.get<bool>() ? 1 : 0;
        return true;
    }
    return false;
}

bool same(const Element& expected, const Element& found) {
    if (expected.type != found.type) return false;
    switch (expected.type) {
    case ValueType::real:
        return expected.real == found.real;
    case ValueType::boolean:
        return (expected.word != 0) == (found.word != 0);  // any non-zero word is true
    case ValueType::integer:
        return expected.word == found.word;
    case ValueType::custom:
        return false;
    }
    return false;
}

}  // namespace

std::vector<std::string> default_differences(const nlohmann::json& description,
                                             const Container& container) {
    std::vector<std::string> out;
    auto parameters = description.is_object() ? description.find("parameters") : description.end();
    if (parameters == description.end() || !parameters->is_array()) {
        return {"the description has no parameters"};
    }
    std::set<int32_t> described;
    for (const nlohmann::json& parameter : *parameters) {
        auto id_field = parameter.is_object() ? parameter.find("id") : parameter.end();
        if (id_field == parameter.end() || !id_field->is_number_integer()) {
            out.push_back("a parameter without an id");
            continue;
        }
        const int32_t id = id_field->get<int32_t>();
        const std::string name = std::to_string(id);
        described.insert(id);
        const Element* found = container.element(id);
        auto value = parameter.find("default");
        if (value == parameter.end()) {
            if (found != nullptr)
                out.push_back(name + ": no default, " + value_text(*found) + " found");
            continue;
        }
        Element expected;
        const nlohmann::json type = parameter.value("type", nlohmann::json());
        if (!expected_element(type, *value, expected)) {
            out.push_back(name + ": a default of type " + type.dump() + " the host cannot hold");
            continue;
        }
        if (found == nullptr) {
            out.push_back(name + ": " + value_text(expected) + " expected, missing");
        } else if (!same(expected, *found)) {
            out.push_back(name + ": " + value_text(expected) + " expected, " + value_text(*found) +
                          " found");
        }
    }
    for (std::size_t i = 0; i < container.size(); ++i) {
        const Element& element = container.at(i);
        if (described.count(element.id) == 0) {
            out.push_back(std::to_string(element.id) + ": not described, " + value_text(element) +
                          " found");
        }
    }
    return out;
}

}  // namespace tmhost
