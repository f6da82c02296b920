#include "host/scene/shape_intersection.h"

#include <cmath>
#include <limits>
#include <utility>

namespace tmhost {

namespace {

bool inside(double t, double t_min, double t_max) { return t > t_min && t < t_max; }

std::optional<ShapeHit> hit_sphere(const Sphere& sphere, const Ray& ray, double t_min,
                                   double t_max) {
    const Vec3 offset = ray.origin - sphere.center;
    const double half_b = dot(offset, ray.direction);
    const double c = dot(offset, offset) - sphere.radius * sphere.radius;
    const double discriminant = half_b * half_b - c;
    if (discriminant < 0.0) return std::nullopt;
    const double root = std::sqrt(discriminant);
    for (const double t : {-half_b - root, -half_b + root}) {
        if (inside(t, t_min, t_max)) {
            return ShapeHit{t, (point_at(ray, t) - sphere.center) * (1.0 / sphere.radius)};
        }
    }
    return std::nullopt;
}

std::optional<ShapeHit> hit_plane(const Plane& plane, const Ray& ray, double t_min, double t_max) {
    const double facing = dot(ray.direction, plane.normal);
    if (facing == 0.0) return std::nullopt;
    const double t = dot(plane.point - ray.origin, plane.normal) / facing;
    if (!inside(t, t_min, t_max)) return std::nullopt;
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

// The normal at barycentric (u, v): the file's normals interpolated and made unit length, or the
// face's where the file gives none or they cancel out there.
Vec3 triangle_normal(const MeshData& mesh, const MeshTriangle& triangle, double u, double v) {
    const std::array<int, 3>& n = triangle.normals;
    if (n[0] >= 0 && n[1] >= 0 && n[2] >= 0) {
        const auto at = [&mesh](int index) {
            return mesh.normals[static_cast<std::size_t>(index)];
        };
        const Vec3 blend = at(n[0]) * (1.0 - u - v) + at(n[1]) * u + at(n[2]) * v;
        if (dot(blend, blend) > 0.0) return normalize(blend);
    }
    return normalize(cross(triangle.edge1, triangle.edge2));
}

}  // namespace

std::optional<ShapeHit> intersect_triangle(const MeshData& mesh, std::size_t index, const Ray& ray,
                                           double t_min, double t_max) {
    const MeshTriangle& triangle = mesh.triangles[index];
    const Vec3 across = cross(ray.direction, triangle.edge2);
    const double determinant = dot(triangle.edge1, across);
    if (determinant == 0.0) return std::nullopt;  // the ray runs in the triangle's plane
    const double inverse = 1.0 / determinant;
    const Vec3 from_corner = ray.origin - triangle.corner;
    const double u = dot(from_corner, across) * inverse;
    if (!(u >= 0.0 && u <= 1.0)) return std::nullopt;
    const Vec3 up = cross(from_corner, triangle.edge1);
    const double v = dot(ray.direction, up) * inverse;
    if (!(v >= 0.0 && u + v <= 1.0)) return std::nullopt;
    const double t = dot(triangle.edge2, up) * inverse;
    if (!inside(t, t_min, t_max)) return std::nullopt;
    ShapeHit hit{t, triangle_normal(mesh, triangle, u, v)};
    if (!mesh.corner_colours.empty()) {
        const std::array<Colour, 3>& corners = mesh.corner_colours[index];
        for (int c = 0; c < 3; ++c) {
            hit.tint[c] = static_cast<float>(corners[0][c] * (1.0 - u - v) + corners[1][c] * u +
                                             corners[2][c] * v);
        }
    }
    return hit;
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
