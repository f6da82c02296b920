// A bounding volume hierarchy over the bounded primitives of a scene: built once by the surface
// area heuristic, then read by any number of threads. The nodes lie in one flat array in depth-
// first order: an interior node's first child follows it, and it holds the index of its second;
// a leaf holds a run of the primitive list.
//
// The tree only chooses which primitives a ray tries. Whatever primitive wins is decided by the
// caller's own tests, so the tree's shape never changes a result as long as no primitive that a
// ray meets is skipped: the caller pads the primitives' boxes far beyond the rounding of their
// own hit tests, and the slab test widens its far end.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "host/scene/ray.h"
#include "host/scene/vec3.h"

namespace tmhost {

struct Bounds {
    Vec3 min{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
             std::numeric_limits<double>::infinity()};
    Vec3 max{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
             -std::numeric_limits<double>::infinity()};

    bool empty() const { return min.x > max.x || min.y > max.y || min.z > max.z; }
    void add(const Vec3& point);
    void add(const Bounds& other);
    bool contains(const Bounds& other) const;
    double surface_area() const;  // 0 when empty
};

// Which primitive an entry of the tree stands for: an object of the scene, and the triangle of
// a mesh (-1 for an object that is one shape).
struct PrimitiveKey {
    std::int32_t object = 0;
    std::int32_t part = -1;
};

inline bool operator<(const PrimitiveKey& a, const PrimitiveKey& b) {
    return a.object != b.object ? a.object < b.object : a.part < b.part;
}

struct BvhPrimitive {
    Bounds bounds;
    PrimitiveKey key;
};

struct BvhNode {
    Bounds bounds;
    std::int32_t offset = 0;  // a leaf's first primitive; an interior node's second child
    std::uint32_t count = 0;  // primitives of a leaf; 0 for an interior node
    std::uint8_t axis = 0;    // the axis an interior node splits on
};

class Bvh {
public:
    // The surface area heuristic makes leaves of at most this many primitives, except where
    // primitives share one centre; no path is longer than the depth limit, so a traversal's stack
    // of pending nodes has a fixed size.
    static constexpr int kMaxLeafPrimitives = 8;
    static constexpr int kMaxDepth = 60;

    Bvh() = default;
    explicit Bvh(std::vector<BvhPrimitive> primitives);

    const std::vector<BvhNode>& nodes() const { return nodes_; }
    // The primitives in the order the leaves refer to them.
    const std::vector<PrimitiveKey>& primitives() const { return keys_; }
    std::size_t memory_bytes() const {
        return nodes_.capacity() * sizeof(BvhNode) + keys_.capacity() * sizeof(PrimitiveKey);
    }
    int depth() const { return depth_; }

    // Calls visit(key) for every primitive of every leaf whose box the ray meets between t_min
    // and `limit`, near children first. `visit` may lower `limit` (a nearer hit found) and answers
    // true to end the walk (any hit will do).
    template <typename Visit>
    void traverse(const Ray& ray, double t_min, const double& limit, Visit&& visit) const;

private:
    int build(std::vector<BvhPrimitive>& primitives, std::size_t begin, std::size_t end, int depth);
    void leaf(std::vector<BvhPrimitive>& primitives, std::size_t begin, std::size_t end,
              const Bounds& bounds);

    std::vector<BvhNode> nodes_;
    std::vector<PrimitiveKey> keys_;
    int depth_ = 0;
};

// The slab test on one node. The far end is widened by a few units in the last place, since the
// products with the inverse direction round (a direction component of 0 gives an infinite
// inverse; a product 0 x infinity is NaN and leaves that axis out, the ray lying in the slab's
// face).
struct RaySlabs {
    explicit RaySlabs(const Ray& ray)
        : origin(ray.origin),
          inverse{1.0 / ray.direction.x, 1.0 / ray.direction.y, 1.0 / ray.direction.z},
          negative{inverse.x < 0.0, inverse.y < 0.0, inverse.z < 0.0} {}

    bool meets(const Bounds& box, double t_min, double t_max) const {
        constexpr double kWiden = 4.0 * std::numeric_limits<double>::epsilon();
        double t0 = t_min;
        double t1 = t_max;
        const auto slab = [&](double low, double high, double o, double inv, bool neg) {
            double near = ((neg ? high : low) - o) * inv;
            double far = ((neg ? low : high) - o) * inv;
            far += std::fabs(far) * kWiden;
            if (near > t0) t0 = near;
            if (far < t1) t1 = far;
        };
        slab(box.min.x, box.max.x, origin.x, inverse.x, negative[0]);
        slab(box.min.y, box.max.y, origin.y, inverse.y, negative[1]);
        slab(box.min.z, box.max.z, origin.z, inverse.z, negative[2]);
        return t0 <= t1;
    }

    Vec3 origin;
    Vec3 inverse;
    bool negative[3];
};

template <typename Visit>
void Bvh::traverse(const Ray& ray, double t_min, const double& limit, Visit&& visit) const {
    if (nodes_.empty()) return;
    const RaySlabs slabs(ray);
    int pending[kMaxDepth + 2];
    int count = 0;
    int node = 0;
    for (;;) {
        const BvhNode& current = nodes_[static_cast<std::size_t>(node)];
        if (slabs.meets(current.bounds, t_min, limit)) {
            if (current.count > 0) {
                const auto first = static_cast<std::size_t>(current.offset);
                for (std::size_t i = first; i < first + current.count; ++i) {
                    if (visit(keys_[i])) return;
                }
                if (count == 0) return;
                node = pending[--count];
            } else if (slabs.negative[current.axis]) {
                pending[count++] = node + 1;
                node = current.offset;
            } else {
                pending[count++] = current.offset;
                node = node + 1;
            }
        } else {
            if (count == 0) return;
            node = pending[--count];
        }
    }
}

}  // namespace tmhost
