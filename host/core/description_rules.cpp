#include "host/core/description_rules.h"

#include <cmath>
#include <cstdint>
#include <tuple>

#include "host/core/text_format.h"

namespace tmhost {

namespace {

constexpr const char* kPrefix = "TONEMIX_";

bool name_character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool prefix_alone(const std::string& name) {
    if (name.size() != 8) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper != kPrefix[i]) return false;
    }
    return true;
}

bool fits_word(double value) {
    return value == std::floor(value) && value >= INT32_MIN && value <= INT32_MAX;
}

std::string position(std::size_t index) { return "parameters[" + std::to_string(index) + "]"; }

}  // namespace

std::optional<std::string> name_fault(const std::string& name, const std::string& where) {
    for (char c : name) {
        if (!name_character(c)) {
            return where + ".name: " + quoted(name) + " holds " + quoted(std::string(1, c)) +
                   ": a name is letters, digits and \"_\", as --set NAME=VALUE gives it";
        }
    }
    if (prefix_alone(name)) {
        return where + ".name: " + quoted(name) + " is the prefix alone, which names no parameter";
    }
    return std::nullopt;
}

std::optional<std::string> bounds_fault(const Parameter& parameter, const std::string& where) {
    if (parameter.type == ParameterType::integer) {
        for (const auto& [key, bound, written] :
             {std::make_tuple("min", parameter.min, &parameter.min_written),
              std::make_tuple("max", parameter.max, &parameter.max_written)}) {
            if (bound && !fits_word(*bound)) {
                return where + "." + key + ": " + written->json +
                       (*bound == std::floor(*bound)
                            ? " does not fit 32 bits (a long holds -2147483648 to 2147483647)"
                            : " is not a whole number");
            }
        }
    }
    if (parameter.min && parameter.max && *parameter.min > *parameter.max) {
        return where + ": min " + parameter.min_written.json + " is above max " +
               parameter.max_written.json;
    }
    return std::nullopt;
}

std::optional<std::string> ParameterIndex::add(const Parameter& parameter,
                                               const std::string& canonical, std::size_t index) {
    const std::string where = position(index) + ": ";
    const auto id = ids_.find(parameter.id);
    if (id != ids_.end()) {
        return where + "id " + std::to_string(parameter.id) + " of " + parameter.name +
               " is already the id of " + id->second.name + " (" + position(id->second.index) + ")";
    }
    const auto name = names_.find(canonical);
    if (name != names_.end()) {
        return where + "the name " + parameter.name + " names the same parameter as " +
               name->second.name + " (" + position(name->second.index) + ")";
    }
    ids_[parameter.id] = {parameter.name, index};
    names_[canonical] = {parameter.name, index};
    return std::nullopt;
}

}  // namespace tmhost
