// Whether a parameter container holds exactly the defaults a description gives: what a node's
// init_defaults must produce.
#ifndef TMHOST_DESCRIPTION_DEFAULTS_H
#define TMHOST_DESCRIPTION_DEFAULTS_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/core/container_store.h"

namespace tmhost {

// One line per difference, in the description's order, then values the description does not
// give a default for: "1009: real 20 expected, real 10 found", "1008: long 8 expected, missing",
// "2002: no default, bool 1 found". Empty when they agree. A description without a "parameters"
// array, or a parameter with a default of a type it does not know, is a difference too.
std::vector<std::string> default_differences(const nlohmann::json& description,
                                             const Container& container);

}  // namespace tmhost

#endif
