#include "host/scene/tracer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "host/scene/crossings.h"
#include "host/scene/light_falloff.h"
#include "host/scene/ray_offset.h"
#include "host/scene/shape_intersection.h"

// The walks keep SSE values on the stack; a caller (the module, across the host's table) may
// not keep the stack aligned for them.
#if defined(__i386__)
#define TONEMIX_ALIGNS_STACK __attribute__((force_align_arg_pointer))
#else
#define TONEMIX_ALIGNS_STACK
#endif

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
// the same distance, so it is asked up to the next double beyond that distance. A triangle's
// normal waits for the end: only the winner's is needed.
struct NearestSoFar {
    bool found = false;
    PrimitiveKey key;
    double distance = std::numeric_limits<double>::infinity();
    TriangleCrossing crossing;  // of a triangle
    ShapeHit shape_hit;         // of a shape

    double limit_for(PrimitiveKey candidate) const {
        return found && candidate < key
                   ? std::nextafter(distance, std::numeric_limits<double>::infinity())
                   : distance;
    }

    void consider_shape(const Scene& scene, PrimitiveKey candidate, const Ray& ray, double t_min) {
        const Shape& shape = scene.objects[static_cast<std::size_t>(candidate.object)].shape;
        const auto hit = intersect(shape, ray, t_min, limit_for(candidate));
        if (!hit) return;
        found = true;
        key = candidate;
        distance = hit->t;
        shape_hit = *hit;
    }

    void consider_triangle(const TracerPrimitive& triangle, PrimitiveKey candidate, const Ray& ray,
                           double t_min) {
        if (!cross_triangle(triangle.a, triangle.b, triangle.c, ray, t_min, limit_for(candidate),
                            crossing)) {
            return;
        }
        found = true;
        key = candidate;
        distance = crossing.t;
    }

    ShapeHit hit(const Scene& scene) const {
        if (key.part < 0) return shape_hit;
        const MeshData& mesh =
            *std::get<Mesh>(scene.objects[static_cast<std::size_t>(key.object)].shape).data;
        return triangle_hit(mesh, static_cast<std::size_t>(key.part), distance, crossing.u,
                            crossing.v);
    }
};

}  // namespace

std::vector<BvhPrimitive> bounded_primitives(const Scene& scene) {
    std::size_t count = 0;
    for (const SceneObject& object : scene.objects) {
        if (const auto* mesh = std::get_if<Mesh>(&object.shape)) {
            count += mesh->data->triangles.size();
        } else {
            ++count;
        }
    }
    std::vector<BvhPrimitive> primitives;
    primitives.reserve(count);
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
    // The primitives in the order of the tree's leaves, so that a leaf's lie together.
    const std::vector<PrimitiveKey>& keys = bvh_.primitives();
    primitives_.resize(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Shape& shape = scene_.objects[static_cast<std::size_t>(keys[i].object)].shape;
        TracerPrimitive& held = primitives_[i];
        if (keys[i].part >= 0) {
            const MeshTriangle& t =
                std::get<Mesh>(shape).data->triangles[static_cast<std::size_t>(keys[i].part)];
            held = {t.corner, t.edge1, t.edge2, TracerPrimitive::triangle};
        } else if (const auto* sphere = std::get_if<Sphere>(&shape)) {
            held = {sphere->center, {sphere->radius, 0.0, 0.0}, {}, TracerPrimitive::sphere};
        }
    }
}

TONEMIX_ALIGNS_STACK std::optional<Hit> Tracer::nearest_hit(const Ray& ray) const {
    const double offset = start_offset(ray.origin);
    NearestSoFar nearest;
    for (const int plane : planes_) nearest.consider_shape(scene_, {plane, -1}, ray, offset);
    const std::vector<PrimitiveKey>& keys = bvh_.primitives();
    bvh_.nearest(ray, offset, nearest.distance, [&](std::size_t first, std::size_t count) {
        for (std::size_t i = first; i < first + count; ++i) {
            if (primitives_[i].kind == TracerPrimitive::triangle) {
                nearest.consider_triangle(primitives_[i], keys[i], ray, offset);
            } else {
                nearest.consider_shape(scene_, keys[i], ray, offset);
            }
        }
    });
    if (!nearest.found) return std::nullopt;
    return facing_hit(nearest.hit(scene_), ray, nearest.key.object);
}

TONEMIX_ALIGNS_STACK bool Tracer::segment_blocked(const Vec3& from, const Vec3& span,
                                                  double span_length) const {
    const double near = start_offset(from);
    const double far = end_offset(from + span, span_length);
    if (span_length <= near + far) return false;
    const Ray ray{from, span * (1.0 / span_length)};
    const double limit = span_length - far;
    for (const int index : planes_) {
        const Plane& plane = std::get<Plane>(scene_.objects[static_cast<std::size_t>(index)].shape);
        double t = 0.0;
        if (cross_plane(plane.point, plane.normal, ray, near, limit, t)) return true;
    }
    const std::vector<PrimitiveKey>& keys = bvh_.primitives();
    return bvh_.any(ray, near, limit, [&](std::size_t first, std::size_t count) {
        for (std::size_t i = first; i < first + count; ++i) {
            const TracerPrimitive& held = primitives_[i];
            if (held.kind == TracerPrimitive::triangle) {
                TriangleCrossing crossing;
                if (cross_triangle(held.a, held.b, held.c, ray, near, limit, crossing)) return true;
            } else if (held.kind == TracerPrimitive::sphere) {
                double t = 0.0;
                if (cross_sphere(held.a, held.b.x, ray, near, limit, t)) return true;
            } else if (primitive_hit(scene_, keys[i], ray, near, limit)) {
                return true;
            }
        }
        return false;
    });
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
