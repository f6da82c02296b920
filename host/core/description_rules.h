// The rules a description's parameters keep beyond the shape of its JSON: names that every way of
// giving a value can reach, ids and names that say one parameter each, bounds in order and within
// what the type holds. Each answers the fault with the path of its key, or nothing.
#ifndef TMHOST_DESCRIPTION_RULES_H
#define TMHOST_DESCRIPTION_RULES_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "host/core/description.h"

namespace tmhost {

// The fault of a parameter's name, after `where` (its path: "parameters[3]"): the prefix alone,
// or a character that is not a letter, a digit or "_".
// A name is given on command lines (--set NAME=VALUE, --vary NAME=VALUE,...), in queries and
// as a scene file's key, so it keeps to letters, digits and "_", and names something after the
// prefix.
std::optional<std::string> name_fault(const std::string& name, const std::string& where);

// The fault of a parameter's bounds as read, after `where`: a long's bound that is not a 32-bit
// whole number ("parameters[0].max: 4294967296 does not fit 32 bits ..."), min above max.
std::optional<std::string> bounds_fault(const Parameter& parameter, const std::string& where);

// The parameters read so far by id and by the name in its one spelling, so that a second one
// names the first: both names and the id.
class ParameterIndex {
public:
    // The fault of adding `parameter` (at `index`), or nothing when it is new in both ways.
    std::optional<std::string> add(const Parameter& parameter, const std::string& canonical,
                                   std::size_t index);

private:
    struct Seen {
        std::string name;
        std::size_t index = 0;
    };
    std::map<int32_t, Seen> ids_;
    std::map<std::string, Seen> names_;
};

}  // namespace tmhost

#endif
