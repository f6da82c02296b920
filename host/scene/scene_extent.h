// How big a scene is, for telling whether a shader's reach fits it: the diagonal of the box that
// holds its objects. Planes are left out: they have no size, and every scene stands on one.
#ifndef TMHOST_SCENE_EXTENT_H
#define TMHOST_SCENE_EXTENT_H

#include <optional>

#include "host/scene/scene.h"

namespace tmhost {

// The axis-aligned box around every sphere, box and mesh of the scene; none for a scene of planes
// alone.
struct SceneBounds {
    Vec3 low;
    Vec3 high;
};
std::optional<SceneBounds> scene_bounds(const Scene& scene);

// The length of the diagonal of the axis-aligned box around every sphere, box and mesh of the
// scene; none for a scene of planes alone.
std::optional<double> scene_extent(const Scene& scene);

}  // namespace tmhost

#endif
