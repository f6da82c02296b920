// How a point light's strength falls with distance d, given its reference distance r > 0:
//   none            1
//   linear          1             for d <= r,  r / d         beyond
//   inverse_square  1             for d <= r,  (r / d)^2     beyond
// Within r the light is at full strength, so a point at or near the light gets a finite value.
#ifndef TMHOST_LIGHT_FALLOFF_H
#define TMHOST_LIGHT_FALLOFF_H

#include "host/scene/scene.h"

namespace tmhost {

inline double falloff_factor(Falloff falloff, double reference_distance, double distance) {
    if (falloff == Falloff::none || distance <= reference_distance) return 1.0;
    const double ratio = reference_distance / distance;
    return falloff == Falloff::linear ? ratio : ratio * ratio;
}

}  // namespace tmhost

#endif
