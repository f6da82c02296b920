// Where a ray meets one shape.
#pragma once

#include <optional>

#include "host/scene/ray.h"
#include "host/scene/scene.h"

namespace tmhost {

struct ShapeHit {
    double t = 0.0;
    Vec3 normal;  // unit; outward for spheres and boxes, the stored normal for planes
};

// The nearest meeting with t_min < t < t_max, if any. Both crossings of a sphere and both faces
// of a box count, so a ray that starts inside finds the way out: shadow segments rely on it.
std::optional<ShapeHit> intersect(const Shape& shape, const Ray& ray, double t_min, double t_max);

}  // namespace tmhost
