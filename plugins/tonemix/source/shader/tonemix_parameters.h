// The shader's parameters: ids in the host node's container and in the description "Xtonemix".
#ifndef TONEMIX_PARAMETERS_H
#define TONEMIX_PARAMETERS_H

#include <cstdint>

enum : int32_t {
    TONEMIX_SAMPLES = 1008,     // long: points averaged per shaded point
    TONEMIX_DISTANCE = 1009,    // real: extent of the sampling
    TONEMIX_OFFSET = 1010,      // real: lift of the start point along the normal
    TONEMIX_GAUSSIAN = 1011,    // bool: Gaussian instead of uniform displacements
    TONEMIX_MODE = 1012,        // long: 0 scatter, 1 along the normal
    TONEMIX_JITTER = 1013,      // bool: along the normal, random instead of even steps
    TONEMIX_SHADOWS = 1014,     // bool: shadow flag of every light query
    TONEMIX_SEED = 2000,        // long: seed of every render
    TONEMIX_LIST_MODE = 2001,   // long: 1 leaves listed lights out, anything else keeps only them
    TONEMIX_LIGHTS = 2002,      // light list, custom data of type TM_LIBRARY_LIST
    TONEMIX_EXTRA_FLAG = 2003,  // bool: written with the defaults, read by nothing
};

enum : int32_t {
    MODE_SCATTER = 0,
    MODE_ALONG_NORMAL = 1,
    LIST_MODE_EXCLUDE = 1,
};

// Defaults written into a new node's container.
struct TonemixDefaults {
    static constexpr int32_t samples = 8;
    static constexpr float distance = 20.0f;
    static constexpr float offset = 1.0f;
    static constexpr int32_t gaussian = 1;
    static constexpr int32_t mode = MODE_SCATTER;
    static constexpr int32_t jitter = 1;
    static constexpr int32_t shadows = 1;
    static constexpr int32_t seed = 23082003;
    static constexpr int32_t list_mode = LIST_MODE_EXCLUDE;
    static constexpr int32_t extra_flag = 0;
};

#endif
