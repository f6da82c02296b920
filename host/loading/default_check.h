// Whether a module's init_defaults writes what its description says: the same ids, types and
// default values. info reports every difference; render and describe refuse a module whose
// description disagrees, since a value checked against the wrong type or range would reach the
// node silently.
#ifndef TMHOST_DEFAULT_CHECK_H
#define TMHOST_DEFAULT_CHECK_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/core/container_store.h"
#include "host/core/description.h"

namespace tmhost {

struct DefaultDifference {
    enum class Kind {
        missing,        // a default the module does not write
        different,      // written with another type or value
        unholdable,     // a default the host cannot hold in the parameter's type
        no_default,     // the module writes a value the description gives no default for
        not_described,  // the module writes an id the description does not have
    };
    Kind kind = Kind::different;
    int32_t id = 0;
    const Parameter* parameter = nullptr;  // null when not described
    std::optional<Element> expected;       // the description's default
    std::optional<Element> found;          // what the container holds
};

// In the description's order, then the ids it does not describe. Empty when they agree.
std::vector<DefaultDifference> compare_defaults(const Description& description,
                                                const Container& container);

// info's lines: "1009: real 20 expected, real 10 found", "1008: long 8 expected, missing",
// "2002: no default, bool 1 found"; a description's fault comes first. Empty when they agree.
std::vector<std::string> default_differences(const Description& description,
                                             const Container& container);

// One line for a user, naming the parameter: "TONEMIX_SAMPLES (1008): the description gives
// long 64, the module writes long 8".
std::string disagreement_text(const DefaultDifference& difference);

}  // namespace tmhost

#endif
