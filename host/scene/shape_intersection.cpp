#include "host/scene/shape_intersection.h"

#include <cmath>
#include <limits>
#include <utility>

#include "host/scene/crossings.h"

namespace tmhost {

namespace {

bool inside(double t, double t_min, double t_max) { return t > t_min && t < t_max; }

std::optional<ShapeHit> hit_sphere(const Sphere& sphere, const Ray& ray, double t_min,
                                   double t_max) {
    double t = 0.0;
    if (!cross_sphere(sphere.center, sphere.radius, ray, t_min, t_max, t)) return std::nullopt;
    return ShapeHit{t, (point_at(ray, t) - sphere.center) * (1.0 / sphere.radius)};
}

std::optional<ShapeHit> hit_plane(const Plane& plane, const Ray& ray, double t_min, double t_max) {
    double t = 0.0;
    if (!cross_plane(plane.point, plane.normal, ray, t_min, t_max, t)) return std::nullopt;
    return ShapeHit{t, plane.normal};
}

// Slabs: the ray is inside the box between its last entry into and its first exit from the three
// pairs of parallel planes. A direction parallel to an axis never crosses that pair; dividing by
// its zero component is avoided, since the origin on a face would give 0 / 0.
std::optional<ShapeHit> hit_box(const Box& box, const Ray& ray, double t_min, double t_max) {
    double t_enter = -std::numeric_limits<double>::infinity();
    double t_exit = std::numeric_limits<double>::infinity();
    int enter_axis = 0;
    int exit_axis = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const double origin = component(ray.origin, axis);
        const double direction = component(ray.direction, axis);
        const double low = component(box.min, axis);
        const double high = component(box.max, axis);
        if (direction == 0.0) {
            if (origin < low || origin > high) return std::nullopt;
            continue;
        }
        double t_near = (low - origin) / direction;
        double t_far = (high - origin) / direction;
        if (t_near > t_far) std::swap(t_near, t_far);
        if (t_near > t_enter) {
            t_enter = t_near;
            enter_axis = axis;
        }
        if (t_far < t_exit) {
            t_exit = t_far;
            exit_axis = axis;
        }
    }
    if (t_enter > t_exit) return std::nullopt;
    const bool entering = inside(t_enter, t_min, t_max);
    if (!entering && !inside(t_exit, t_min, t_max)) return std::nullopt;
    const int axis = entering ? enter_axis : exit_axis;
    // The face entered looks against the ray, the face left looks along it.
    const double sign = (component(ray.direction, axis) > 0.0) == entering ? -1.0 : 1.0;
    Vec3 normal;
    (axis == 0 ? normal.x : axis == 1 ? normal.y : normal.z) = sign;
    return ShapeHit{entering ? t_enter : t_exit, normal};
}

Vec3 triangle_normal(const MeshData& mesh, std::size_t index, double u, double v) {
    const MeshTriangle& triangle = mesh.triangles[index];
    const std::array<int, 3>& n = triangle.normals;
    if (n[0] >= 0 && n[1] >= 0 && n[2] >= 0) {
        const auto at = [&mesh](int i) { return mesh.normals[static_cast<std::size_t>(i)]; };
        const Vec3 blend = at(n[0]) * (1.0 - u - v) + at(n[1]) * u + at(n[2]) * v;
        if (dot(blend, blend) > 0.0) return normalize(blend);
    }
    return normalize(cross(triangle.edge1, triangle.edge2));
}

}  // namespace

ShapeHit triangle_hit(const MeshData& mesh, std::size_t index, double t, double u, double v) {
    ShapeHit hit{t, triangle_normal(mesh, index, u, v)};
    if (!mesh.corner_colours.empty()) {
        const std::array<Colour, 3>& corners = mesh.corner_colours[index];
        for (int c = 0; c < 3; ++c) {
            hit.tint[c] = static_cast<float>(corners[0][c] * (1.0 - u - v) + corners[1][c] * u +
                                             corners[2][c] * v);
        }
    }
    return hit;
}

std::optional<ShapeHit> intersect_triangle(const MeshData& mesh, std::size_t index, const Ray& ray,
                                           double t_min, double t_max) {
    const MeshTriangle& triangle = mesh.triangles[index];
    TriangleCrossing crossing;
    if (!cross_triangle(triangle.corner, triangle.edge1, triangle.edge2, ray, t_min, t_max,
                        crossing)) {
        return std::nullopt;
    }
    return triangle_hit(mesh, index, crossing.t, crossing.u, crossing.v);
}

std::optional<ShapeHit> intersect(const Shape& shape, const Ray& ray, double t_min, double t_max) {
    if (const auto* sphere = std::get_if<Sphere>(&shape)) {
        return hit_sphere(*sphere, ray, t_min, t_max);
    }
    if (const auto* plane = std::get_if<Plane>(&shape)) return hit_plane(*plane, ray, t_min, t_max);
    if (const auto* box = std::get_if<Box>(&shape)) return hit_box(*box, ray, t_min, t_max);
    const MeshData& mesh = *std::get<Mesh>(shape).data;
    std::optional<ShapeHit> nearest;
    double limit = t_max;
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
        const auto found = intersect_triangle(mesh, i, ray, t_min, limit);
        if (!found) continue;
        limit = found->t;
        nearest = found;
    }
    return nearest;
}

}  // namespace tmhost
