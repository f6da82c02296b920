// Where the sample points of one shaded point lie. Each rule draws from the node's stream in a
// fixed order, so a stream seeded the same way gives the same points.
#ifndef TONEMIX_SAMPLE_POINTS_H
#define TONEMIX_SAMPLE_POINTS_H

#include <cstdint>

#include "random_stream.h"
#include "tonemix_parameters.h"

struct SamplingRule {
    int32_t mode;      // MODE_ALONG_NORMAL samples on the normal line; anything else scatters
    int32_t jitter;    // along the normal: random positions instead of even steps
    int32_t gaussian;  // displacements from gauss_spread instead of uniform_signed
    float distance;    // D, the extent of the sampling
    float step;        // D / samples: the spacing of the even line

    bool even_line() const { return mode == MODE_ALONG_NORMAL && jitter == 0; }
    bool draws() const { return !even_line(); }
};

// Sample point `index` (1 .. samples - 1) of the even line, from the start point `start` already
// moved back by D / 2. It draws nothing.
inline void even_line_point(const SamplingRule& rule, const float start[3], const float normal[3],
                            int32_t index, float point[3]) {
    for (int k = 0; k < 3; ++k) {
        point[k] = (normal[k] * static_cast<float>(index)) * rule.step + start[k];
    }
}

// The next sample point of a rule that draws (rule.draws()): jittered along the normal, or
// scattered around `start`. Products named in the comments are rounded to float where the
// arithmetic says so; the random factor enters at double precision. Always inline: as a call per
// sample point it cost about 6 % of a shaded point with one light, and the compiler judged it too
// big to inline by itself.
// Stream: RandomStream, or any stream with its three draws.
template <typename Stream>
__attribute__((always_inline)) inline void drawn_point(const SamplingRule& rule,
                                                       const float start[3], const float normal[3],
                                                       Stream& random, float point[3]) {
    if (rule.mode == MODE_ALONG_NORMAL) {
        double r = rule.gaussian != 0 ? random.gauss_spread() : random.uniform_signed();
        for (int k = 0; k < 3; ++k) {
            float reach = normal[k] * rule.distance;
            point[k] = static_cast<float>(reach * r + start[k]);
        }
        return;
    }
    float r[3];
    for (int k = 0; k < 3; ++k) {
        r[k] = static_cast<float>(rule.gaussian != 0 ? random.gauss_spread()
                                                     : random.uniform_signed());
    }
    double scale = random.gauss_centered();
    for (int k = 0; k < 3; ++k) {
        float reach = r[k] * rule.distance;
        point[k] = static_cast<float>(reach * scale + start[k]);
    }
}

#endif
