// Where a ray crosses a triangle, a plane or a sphere, in double: the one test of each, inline so
// that the hierarchy's walk and the search through every object compute the same bits from the same
// values.
#ifndef TMHOST_CROSSINGS_H
#define TMHOST_CROSSINGS_H

#include <cmath>

#include "host/scene/ray.h"
#include "host/scene/vec3.h"

// The walks test a triangle in their innermost loop, where a call costs as much as the test.
#if defined(__GNUC__)
#define TONEMIX_ALWAYS_INLINE __attribute__((always_inline))
#else
#define TONEMIX_ALWAYS_INLINE
#endif

namespace tmhost {

// The distance and the barycentric coordinates of the edges (u along edge1, v along edge2).
struct TriangleCrossing {
    double t = 0.0;
    double u = 0.0;
    double v = 0.0;
};

// Whether the ray crosses the triangle with t_min < t < t_max; `out` is written only then.
TONEMIX_ALWAYS_INLINE inline bool cross_triangle(const Vec3& corner, const Vec3& edge1,
                                                 const Vec3& edge2, const Ray& ray, double t_min,
                                                 double t_max, TriangleCrossing& out) {
    const Vec3 across = cross(ray.direction, edge2);
    const double determinant = dot(edge1, across);
    if (determinant == 0.0) return false;  // the ray runs in the triangle's plane
    const double inverse = 1.0 / determinant;
    const Vec3 from_corner = ray.origin - corner;
    const double u = dot(from_corner, across) * inverse;
    if (!(u >= 0.0 && u <= 1.0)) return false;
    const Vec3 up = cross(from_corner, edge1);
    const double v = dot(ray.direction, up) * inverse;
    if (!(v >= 0.0 && u + v <= 1.0)) return false;
    const double t = dot(edge2, up) * inverse;
    if (!(t > t_min && t < t_max)) return false;
    out = {t, u, v};
    return true;
}

// The crossing of an infinite plane (a point on it and its normal) with t_min < t < t_max.
inline bool cross_plane(const Vec3& point, const Vec3& normal, const Ray& ray, double t_min,
                        double t_max, double& out) {
    const double facing = dot(ray.direction, normal);
    if (facing == 0.0) return false;
    const double t = dot(point - ray.origin, normal) / facing;
    if (!(t > t_min && t < t_max)) return false;
    out = t;
    return true;
}

// The nearer crossing of a sphere with t_min < t < t_max: the entry, or else the exit (a ray from
// inside finds the way out).
inline bool cross_sphere(const Vec3& center, double radius, const Ray& ray, double t_min,
                         double t_max, double& out) {
    const Vec3 offset = ray.origin - center;
    const double half_b = dot(offset, ray.direction);
    const double c = dot(offset, offset) - radius * radius;
    const double discriminant = half_b * half_b - c;
    if (discriminant < 0.0) return false;
    const double root = std::sqrt(discriminant);
    const double entry = -half_b - root;
    if (entry > t_min && entry < t_max) {
        out = entry;
        return true;
    }
    const double exit = -half_b + root;
    if (exit > t_min && exit < t_max) {
        out = exit;
        return true;
    }
    return false;
}

}  // namespace tmhost

#endif
