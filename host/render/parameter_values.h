// Values for the shader's parameters, checked against the module's description: from a scene's
// "shader" object, from --set NAME=VALUE, and from the scene's light list. Later values of the
// same parameter replace earlier ones, so --set overrides the scene.
#ifndef TMHOST_PARAMETER_VALUES_H
#define TMHOST_PARAMETER_VALUES_H

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/core/container_store.h"
#include "host/core/description.h"

namespace tmhost {

struct ParameterValue {
    const Parameter* parameter = nullptr;
    int32_t word = 0;   // a long's value, or a bool's 1 / 0
    float real = 0.0f;  // a real's value, rounded to float once it passed its range
};

// The value if it has the parameter's type and lies in its range or among its choices (a
// choice may also be named by its label); otherwise throws RenderError "<where>: <what>".
ParameterValue check_parameter_value(const Parameter& parameter, const nlohmann::json& value,
                                     const std::string& where);

// VALUE of --set NAME=VALUE as JSON: "16", "1.5", "true"; text that is no JSON is a string,
// so "--set mode=scatter" names a choice without quotes.
nlohmann::json parse_set_value(const std::string& text);

class ParameterValues {
public:
    explicit ParameterValues(const Description& description) : description_(description) {}

    // Every member of the scene's "shader" object; `where` starts each message ("a.json").
    // The light list parameter is refused here: the scene's light_list sets it.
    void add_scene(const nlohmann::json& shader, const std::string& where);
    // One "NAME=VALUE" of the command line.
    void add_assignment(const std::string& assignment);
    // Replaces an earlier value of the same parameter.
    void set(const ParameterValue& value);

    const std::vector<ParameterValue>& values() const { return values_; }
    // The value given for a parameter, or null.
    const ParameterValue* find(int32_t id) const;

    // Writes every value into the container, in the order given.
    void apply(Container& container) const;

    // The parameter of that name (see Description::find); throws RenderError "<where>: ..."
    // naming the parameters there are when the description has none of that name.
    const Parameter& settable(const std::string& name, const std::string& where) const;

private:
    const Description& description_;
    std::vector<ParameterValue> values_;
};

}  // namespace tmhost

#endif
