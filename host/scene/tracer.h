// The geometric questions a render puts to a scene: what a ray sees, whether anything stands
// between two points, and how much light a light delivers at a point. Everything is const and
// keeps no cache, so any number of render threads may share one Tracer.
#pragma once

#include <optional>

#include "host/scene/ray.h"
#include "host/scene/scene.h"

namespace tmhost {

struct Hit {
    double distance = 0.0;  // along the ray
    Vec3 point;
    Vec3 normal;      // unit, turned toward the side the ray came from
    int object = -1;  // index into Scene::objects
};

class Tracer {
public:
    explicit Tracer(Scene scene);

    const Scene& scene() const { return scene_; }

    // Distances below this count as touching: 1e-5 times the scene's scale, the largest absolute
    // coordinate of the camera, the lights and the objects' extents (at least 1). It sits well
    // above the rounding of the float points that the shader sends back, and well below any
    // feature a scene is made of.
    double epsilon() const { return epsilon_; }

    // The nearest object the ray meets farther than epsilon from its origin.
    std::optional<Hit> nearest_hit(const Ray& ray) const;

    // Whether an object crosses the segment from `from` along `span` (of length `span_length`),
    // leaving out epsilon at each end so that a point on a surface does not shadow itself, nor a
    // light on one its own.
    bool segment_blocked(const Vec3& from, const Vec3& span, double span_length) const;

    // The light that light `light` delivers at `point`: colour x intensity x falloff(distance),
    // whatever the orientation of any surface. With `shadows` and a light that casts them, an
    // object across the segment from the point to the light blocks it. Answers false with a black
    // colour_out when no light arrives: blocked, an index out of range or a non-finite point.
    bool illuminate(int light, const float point[3], bool shadows, float colour_out[3]) const;

private:
    Scene scene_;
    double epsilon_;
};

}  // namespace tmhost
