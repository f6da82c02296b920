#include "host/validate/validation.h"

namespace tmhost {

long scaled(const ValidationSettings& settings, long at_level_5) {
    long count = at_level_5;
    for (int level = 5; level < settings.level; ++level) count *= 2;
    for (int level = 5; level > settings.level; --level) count /= 2;
    return count < 1 ? 1 : count;
}

std::string GroupVerdict::line() const {
    if (passed) return counts.empty() ? "pass" : "pass (" + counts + ")";
    std::string text = "FAIL: ";
    for (std::size_t i = 0; i < failures.size(); ++i) {
        if (i != 0) text += "; ";
        text += failures[i];
    }
    if (failures.empty()) text += "no reason given";
    return text;
}

const std::vector<ValidationGroup>& validation_groups() {
    static const std::vector<ValidationGroup> groups = {
        {"lifecycle",
         "the messages of a host's life, repeated within one load and over many loads, with "
         "nested, unknown and out-of-order messages; every answer against its table",
         validate_lifecycle},
        {"host-faults",
         "every host operation the module calls failed in turn at every moment of its life "
         "that calls it, and every host library missing, short or with null slots",
         validate_host_faults},
        {"parameters",
         "random parameter containers (absent ids, every type mismatch, extremes, NaN and "
         "infinities) through defaults, enabling, render set-up and shading",
         validate_parameters},
        {"render-records",
         "hostile per-point records behind guard pages: null records, extreme light counts, "
         "object indices and flag tables, NaN points and normals, NaN and infinite light",
         validate_render_records},
        {"threads",
         "one node shaded from 2 to 64 threads at once, against one thread making the same "
         "calls: no draw lost or repeated, no torn state",
         validate_threads},
        {"nodes",
         "node cycles from create to free, every entry's stack use checked, the host's books "
         "back where they were after each",
         validate_nodes},
        {"repeatability",
         "the same render twice, after a second set-up and after a reload, bit for bit",
         validate_repeatability},
    };
    return groups;
}

const ValidationGroup* find_group(const std::string& name) {
    for (const ValidationGroup& group : validation_groups()) {
        if (name == group.name) return &group;
    }
    return nullptr;
}

}  // namespace tmhost
