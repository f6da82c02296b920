// Where a ray meets one shape.
#ifndef TMHOST_SHAPE_INTERSECTION_H
#define TMHOST_SHAPE_INTERSECTION_H

#include <cstddef>
#include <optional>

#include "host/scene/ray.h"
#include "host/scene/scene.h"

namespace tmhost {

struct ShapeHit {
    double t = 0.0;
    Vec3 normal;  // unit; outward for spheres and boxes, the stored normal for planes, the
                  // interpolated vertex normal or the face normal for mesh triangles
    Colour tint{1.0f, 1.0f, 1.0f};  // a mesh's corner colours interpolated at the point; else white
};

// The nearest meeting with t_min < t < t_max, if any. Both crossings of a sphere and both faces
// of a box count, so a ray that starts inside finds the way out: shadow segments rely on it.
// A mesh's nearest triangle; of two at the same distance, the one listed first.
std::optional<ShapeHit> intersect(const Shape& shape, const Ray& ray, double t_min, double t_max);

// One triangle of a mesh (Moller-Trumbore, in double). A ray through an edge shared by two
// triangles meets at least one of them unless rounding puts it just outside both, a gap far
// below the offsets of host/scene/ray_offset.h.
std::optional<ShapeHit> intersect_triangle(const MeshData& mesh, std::size_t triangle,
                                           const Ray& ray, double t_min, double t_max);

// What a ray meets at distance t on a mesh's triangle at barycentric (u, v): the file's normals
// interpolated and made unit length (the face's where the file gives none or they cancel out
// there), and the corner colours interpolated as the tint.
ShapeHit triangle_hit(const MeshData& mesh, std::size_t triangle, double t, double u, double v);

}  // namespace tmhost

#endif
