// The geometric questions a render puts to a scene: what a ray sees, whether anything stands
// between two points, and how much light a light delivers at a point. The constructor builds a
// bounding volume hierarchy over the scene's bounded objects and triangles (planes stay beside
// it); after that everything is const and keeps no cache, so any number of render threads may
// share one Tracer.
//
// The answers are those of testing every object in turn, bit for bit (the functions
// nearest_hit_of_every_object and segment_blocked_by_any_object below do so, for the tests): of
// two objects met at the same distance the one listed first wins, and of two triangles of one
// mesh, the one listed first.
#ifndef TMHOST_TRACER_H
#define TMHOST_TRACER_H

#include <cstdint>
#include <optional>
#include <vector>

#include "host/scene/bvh.h"
#include "host/scene/ray.h"
#include "host/scene/scene.h"

namespace tmhost {

struct Hit {
    double distance = 0.0;  // along the ray
    Vec3 point;
    Vec3 normal;                    // unit, turned toward the side the ray came from
    int object = -1;                // index into Scene::objects
    Colour tint{1.0f, 1.0f, 1.0f};  // the mesh's colours at the point, multiplying the object's
};

// A primitive held where the tree's walk reads it: a mesh triangle (its corner and edges), a
// sphere (its centre, and its radius in b.x), or another shape, tested through the scene.
struct TracerPrimitive {
    enum Kind : std::int32_t { triangle, sphere, other };
    Vec3 a;
    Vec3 b;
    Vec3 c;
    Kind kind = other;
};

class Tracer {
public:
    explicit Tracer(Scene scene);

    const Scene& scene() const { return scene_; }

    // The nearest object the ray meets farther than the start offset from its origin
    // (host/scene/ray_offset.h).
    std::optional<Hit> nearest_hit(const Ray& ray) const;

    // Whether an object crosses the segment from `from` along `span` (of length `span_length`),
    // leaving out the start offset of `from` and the end offset of the far end, so that a point on
    // a surface does not shadow itself, nor a light on one its own.
    bool segment_blocked(const Vec3& from, const Vec3& span, double span_length) const;

    // The light that light `light` delivers at `point`: colour x intensity x falloff(distance),
    // whatever the orientation of any surface. With `shadows` and a light that casts them, an
    // object across the segment from the point to the light blocks it. Answers false with a black
    // colour_out when no light arrives: blocked, beyond the light's range, an index out of range
    // or a non-finite point.
    bool illuminate(int light, const float point[3], bool shadows, float colour_out[3]) const;

    const Bvh& bvh() const { return bvh_; }

private:
    Scene scene_;
    Bvh bvh_;
    std::vector<int> planes_;  // objects outside the tree, in the scene's order
    // Each primitive of the tree as its test takes it, at its place in bvh_.primitives().
    std::vector<TracerPrimitive> primitives_;
};

// The bounded primitives of the scene as the tree holds them: each sphere and box, each triangle
// of each mesh, with bounds padded beyond the rounding of their own hit tests.
std::vector<BvhPrimitive> bounded_primitives(const Scene& scene);

// What the Tracer answers, found by testing every object in turn.
std::optional<Hit> nearest_hit_of_every_object(const Scene& scene, const Ray& ray);
bool segment_blocked_by_any_object(const Scene& scene, const Vec3& from, const Vec3& span,
                                   double span_length);

}  // namespace tmhost

#endif
