#include "host/scene/tracer.h"

#include <limits>
#include <utility>

#include "host/scene/light_falloff.h"
#include "host/scene/ray_offset.h"
#include "host/scene/shape_intersection.h"

namespace tmhost {

Tracer::Tracer(Scene scene) : scene_(std::move(scene)) {}

std::optional<Hit> Tracer::nearest_hit(const Ray& ray) const {
    std::optional<ShapeHit> nearest;
    std::size_t object = 0;
    double limit = std::numeric_limits<double>::infinity();
    const double offset = start_offset(ray.origin);
    for (std::size_t i = 0; i < scene_.objects.size(); ++i) {
        const auto found = intersect(scene_.objects[i].shape, ray, offset, limit);
        if (!found) continue;
        limit = found->t;
        nearest = found;
        object = i;
    }
    if (!nearest) return std::nullopt;
    const Vec3 normal =
        dot(nearest->normal, ray.direction) > 0.0 ? -nearest->normal : nearest->normal;
    return Hit{nearest->t, point_at(ray, nearest->t), normal, static_cast<int>(object)};
}

bool Tracer::segment_blocked(const Vec3& from, const Vec3& span, double span_length) const {
    const double near = start_offset(from);
    const double far = end_offset(from + span, span_length);
    if (span_length <= near + far) return false;
    const Ray ray{from, span * (1.0 / span_length)};
    for (const SceneObject& object : scene_.objects) {
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
