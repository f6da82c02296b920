// A ray: origin and unit direction; a point along it is origin + direction * t, t its distance.
#ifndef TMHOST_RAY_H
#define TMHOST_RAY_H

#include "host/scene/vec3.h"

namespace tmhost {

struct Ray {
    Vec3 origin;
    Vec3 direction;  // unit length
};

inline Vec3 point_at(const Ray& ray, double t) { return ray.origin + ray.direction * t; }

}  // namespace tmhost

#endif
