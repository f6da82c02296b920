// The shader's parameters as the module's registered description presents them: id, name,
// type, default, range or choices, label and group. The render and describe commands check the
// scene's values against it, so a scene can only set what the module itself declares.
#ifndef TMHOST_PARAMETER_SHEET_H
#define TMHOST_PARAMETER_SHEET_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tmhost {

enum class ParameterType { integer, real, boolean, light_list };

// "long", "real", "bool", "lightlist": the description's own words.
const char* parameter_type_name(ParameterType type);

struct ParameterChoice {
    int32_t value = 0;
    std::string label;
};

struct ParameterInfo {
    int32_t id = 0;
    std::string name;        // as the description writes it: "TONEMIX_SAMPLES"
    std::string short_name;  // without the prefix, lower case: "samples"
    std::string label;
    std::string group;  // the group's label
    ParameterType type = ParameterType::integer;
    nlohmann::json default_value;  // null when the description gives none
    std::optional<double> min;
    std::optional<double> max;
    std::vector<ParameterChoice> choices;
};

class ParameterSheet {
public:
    // Throws RenderError naming the description and the fault when it is not one the host can
    // present: no parameter array, a parameter without id, name or a known type.
    static ParameterSheet from_description(const nlohmann::json& description);

    const std::string& description_name() const { return description_name_; }
    const std::vector<ParameterInfo>& parameters() const { return parameters_; }

    // By the description's name or by the short one, in any letter case: "TONEMIX_SAMPLES",
    // "samples" and "Samples" all name the same parameter. Null when none has that name.
    const ParameterInfo* find(const std::string& name) const;
    const ParameterInfo* find(int32_t id) const;
    // The first parameter of the type, or null.
    const ParameterInfo* find(ParameterType type) const;

    // "samples, distance, ...", for messages about an unknown name.
    std::string short_names() const;

private:
    std::string description_name_;
    std::vector<ParameterInfo> parameters_;
};

}  // namespace tmhost

#endif
