#include "host/scene/tracer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "host/scene/light_falloff.h"
#include "host/scene/ray_offset.h"
#include "host/scene/shape_intersection.h"

namespace tmhost {

namespace {

Hit facing_hit(const ShapeHit& found, const Ray& ray, int object) {
    const Vec3 normal = dot(found.normal, ray.direction) > 0.0 ? -found.normal : found.normal;
    return Hit{found.t, point_at(ray, found.t), normal, object, found.tint};
}

// How far a primitive's box reaches beyond the primitive: the hit tests round, a sphere's most
// where a ray grazes it, and a point they find may lie a little outside the exact shape. A
// ten-millionth of the primitive's size or distance from the origin is far beyond that.
constexpr double kBoundsPadding = 1e-7;

Bounds padded(Bounds bounds) {
    const double reach =
        std::max({1.0, largest_coordinate(bounds.min), largest_coordinate(bounds.max),
                  largest_coordinate(bounds.max - bounds.min)});
    const Vec3 pad{reach * kBoundsPadding, reach * kBoundsPadding, reach * kBoundsPadding};
    bounds.min = bounds.min - pad;
    bounds.max = bounds.max + pad;
    return bounds;
}

std::optional<ShapeHit> primitive_hit(const Scene& scene, PrimitiveKey key, const Ray& ray,
                                      double t_min, double t_max) {
    const Shape& shape = scene.objects[static_cast<std::size_t>(key.object)].shape;
    if (key.part < 0) return intersect(shape, ray, t_min, t_max);
    return intersect_triangle(*std::get<Mesh>(shape).data, static_cast<std::size_t>(key.part), ray,
                              t_min, t_max);
}

// The nearest hit so far and whose it is. A primitive listed before the holder may still win at
// the same distance, so it is asked up to the next double beyond that distance.
struct NearestSoFar {
    std::optional<ShapeHit> hit;
    PrimitiveKey key;
    double distance = std::numeric_limits<double>::infinity();

    void consider(const Scene& scene, PrimitiveKey candidate, const Ray& ray, double t_min) {
        const double limit = hit && candidate < key
                                 ? std::nextafter(distance, std::numeric_limits<double>::infinity())
                                 : distance;
        const auto found = primitive_hit(scene, candidate, ray, t_min, limit);
        if (!found) return;
        hit = found;
        key = candidate;
        distance = found->t;
    }
};

}  // namespace

std::vector<BvhPrimitive> bounded_primitives(const Scene& scene) {
    std::vector<BvhPrimitive> primitives;
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const Shape& shape = scene.objects[i].shape;
        const auto object = static_cast<std::int32_t>(i);
        Bounds bounds;
        if (const auto* sphere = std::get_if<Sphere>(&shape)) {
            const Vec3 r{sphere->radius, sphere->radius, sphere->radius};
            bounds.add(sphere->center - r);
            bounds.add(sphere->center + r);
        } else if (const auto* box = std::get_if<Box>(&shape)) {
            bounds.add(box->min);
            bounds.add(box->max);
        } else if (const auto* mesh = std::get_if<Mesh>(&shape)) {
            const std::vector<MeshTriangle>& triangles = mesh->data->triangles;
            for (std::size_t t = 0; t < triangles.size(); ++t) {
                Bounds corners;
                corners.add(triangles[t].corner);
                corners.add(triangles[t].corner + triangles[t].edge1);
                corners.add(triangles[t].corner + triangles[t].edge2);
                primitives.push_back({padded(corners), {object, static_cast<std::int32_t>(t)}});
            }
            continue;
        } else {
            continue;  // a plane: unbounded
        }
        primitives.push_back({padded(bounds), {object, -1}});
    }
    return primitives;
}

Tracer::Tracer(Scene scene) : scene_(std::move(scene)), bvh_(bounded_primitives(scene_)) {
    for (std::size_t i = 0; i < scene_.objects.size(); ++i) {
        if (std::holds_alternative<Plane>(scene_.objects[i].shape)) {
            planes_.push_back(static_cast<int>(i));
        }
    }
}

std::optional<Hit> Tracer::nearest_hit(const Ray& ray) const {
    const double offset = start_offset(ray.origin);
    NearestSoFar nearest;
    for (const int plane : planes_) nearest.consider(scene_, {plane, -1}, ray, offset);
    bvh_.traverse(ray, offset, nearest.distance, [&](PrimitiveKey key) {
        nearest.consider(scene_, key, ray, offset);
        return false;
    });
    if (!nearest.hit) return std::nullopt;
    return facing_hit(*nearest.hit, ray, nearest.key.object);
}

bool Tracer::segment_blocked(const Vec3& from, const Vec3& span, double span_length) const {
    const double near = start_offset(from);
    const double far = end_offset(from + span, span_length);
    if (span_length <= near + far) return false;
    const Ray ray{from, span * (1.0 / span_length)};
    const double limit = span_length - far;
    for (const int plane : planes_) {
        if (primitive_hit(scene_, {plane, -1}, ray, near, limit)) return true;
    }
    bool blocked = false;
    bvh_.traverse(ray, near, limit, [&](PrimitiveKey key) {
        blocked = primitive_hit(scene_, key, ray, near, limit).has_value();
        return blocked;
    });
    return blocked;
}

std::optional<Hit> nearest_hit_of_every_object(const Scene& scene, const Ray& ray) {
    std::optional<ShapeHit> nearest;
    std::size_t object = 0;
    double limit = std::numeric_limits<double>::infinity();
    const double offset = start_offset(ray.origin);
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const auto found = intersect(scene.objects[i].shape, ray, offset, limit);
        if (!found) continue;
        limit = found->t;
        nearest = found;
        object = i;
    }
    if (!nearest) return std::nullopt;
    return facing_hit(*nearest, ray, static_cast<int>(object));
}

bool segment_blocked_by_any_object(const Scene& scene, const Vec3& from, const Vec3& span,
                                   double span_length) {
    const double near = start_offset(from);
    const double far = end_offset(from + span, span_length);
    if (span_length <= near + far) return false;
    const Ray ray{from, span * (1.0 / span_length)};
    for (const SceneObject& object : scene.objects) {
        if (intersect(object.shape, ray, near, span_length - far)) return true;
    }
    return false;
}

bool Tracer::illuminate(int light, const float point[3], bool shadows, float colour_out[3]) const {
    colour_out[0] = colour_out[1] = colour_out[2] = 0.0f;
    if (light < 0 || static_cast<std::size_t>(light) >= scene_.lights.size()) return false;
    const Vec3 at{point[0], point[1], point[2]};
    if (!is_finite(at)) return false;
    const Light& source = scene_.lights[static_cast<std::size_t>(light)];
    const Vec3 span = source.position - at;
    const double distance = length(span);
    if (distance > source.range) return false;
    if (shadows && source.shadows && segment_blocked(at, span, distance)) return false;
    const double factor = falloff_factor(source.falloff, source.reference_distance, distance);
    // A float times a float is exact in double, so without falloff the result is the correctly
    // rounded float product of colour and intensity. Beyond the float range the light is
    // infinite (converting such a double to float would be undefined).
    for (int c = 0; c < 3; ++c) {
        const double value = static_cast<double>(source.colour[c]) * source.intensity * factor;
        constexpr double kLargest = std::numeric_limits<float>::max();
        constexpr float kInfinity = std::numeric_limits<float>::infinity();
        colour_out[c] = value > kLargest    ? kInfinity
                        : value < -kLargest ? -kInfinity
                                            : static_cast<float>(value);
    }
    return true;
}

}  // namespace tmhost
