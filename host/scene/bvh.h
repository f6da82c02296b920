// A bounding volume hierarchy over the bounded primitives of a scene: built once, then read by
// any number of threads.
//
// Built in two steps. A binary tree first, top down: the centres of a run of primitives are
// counted into a dozen buckets along each of the three axes, and the run is split at the bucket
// boundary where the surface area heuristic finds it cheapest, or becomes a leaf when no split
// pays (runs of three or fewer always do). Then the binary tree is folded into a tree of four
// children a node: a node takes its binary node's two children and keeps opening the child of
// largest area that is not a leaf until it holds four.
//
// A node holds the boxes of its four children in floats, laid out so that one SSE register holds
// one side of all four boxes along one axis: a ray meets all four boxes in a dozen instructions.
// The floats are rounded outward from the double boxes, and the rounding of the ray's own floats
// is made up for when the ray is set up (host/scene/bvh_slabs.h), so a box the ray meets in exact
// arithmetic is always met. A child is an interior node or a leaf (a run of the primitive list).
//
// The tree only chooses which primitives a ray tries. Whatever primitive wins is decided by the
// caller's own tests, so the tree's shape never changes a result as long as no primitive that a
// ray meets is skipped: the caller pads the primitives' boxes far beyond the rounding of their
// own hit tests, and the box test errs only toward meeting a box.
//
// Traversal comes in two kinds. Nearest: the children met are taken nearest first, and a child
// whose box begins beyond the nearest hit found meanwhile is passed over. Any (shadow segments):
// the leaves a node holds are tried at once, and the walk ends at the first primitive the visitor
// accepts.
#ifndef TMHOST_BVH_H
#define TMHOST_BVH_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "host/scene/bvh_slabs.h"
#include "host/scene/ray.h"
#include "host/scene/vec3.h"

namespace tmhost {

struct Bounds {
    Vec3 min{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
             std::numeric_limits<double>::infinity()};
    Vec3 max{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
             -std::numeric_limits<double>::infinity()};

    bool empty() const { return min.x > max.x || min.y > max.y || min.z > max.z; }
    void add(const Vec3& point) {
        min.x = point.x < min.x ? point.x : min.x;
        min.y = point.y < min.y ? point.y : min.y;
        min.z = point.z < min.z ? point.z : min.z;
        max.x = point.x > max.x ? point.x : max.x;
        max.y = point.y > max.y ? point.y : max.y;
        max.z = point.z > max.z ? point.z : max.z;
    }
    void add(const Bounds& other) {
        min.x = other.min.x < min.x ? other.min.x : min.x;
        min.y = other.min.y < min.y ? other.min.y : min.y;
        min.z = other.min.z < min.z ? other.min.z : min.z;
        max.x = other.max.x > max.x ? other.max.x : max.x;
        max.y = other.max.y > max.y ? other.max.y : max.y;
        max.z = other.max.z > max.z ? other.max.z : max.z;
    }
    bool contains(const Bounds& other) const;
    double surface_area() const {  // 0 when empty
        if (empty()) return 0.0;
        const Vec3 d = max - min;
        return 2.0 * (d.x * d.y + d.y * d.z + d.z * d.x);
    }
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

class Bvh {
public:
    // The surface area heuristic makes leaves of at most this many primitives, except where
    // primitives share one centre; no path is longer than the depth limit, so a traversal's stack
    // of pending children has a fixed size.
    static constexpr int kMaxLeafPrimitives = 8;
    static constexpr int kMaxDepth = 60;
    static constexpr int kWidth = 4;

    Bvh() = default;
    explicit Bvh(std::vector<BvhPrimitive> primitives);

    // The root is node 0; empty for a tree of no primitives.
    const std::vector<BvhNode>& nodes() const { return nodes_; }
    // The primitives in the order the leaves refer to them.
    const std::vector<PrimitiveKey>& primitives() const { return keys_; }
    std::size_t memory_bytes() const {
        return nodes_.capacity() * sizeof(BvhNode) + keys_.capacity() * sizeof(PrimitiveKey);
    }
    // Nodes on the longest path from the root, the root counting as 1.
    int depth() const { return depth_; }

    // Calls visit(first, count) for the leaves whose box the ray meets between t_min and
    // `limit`, near ones first; `visit` may lower `limit` (a nearer hit found).
    template <typename Visit>
    void nearest(const Ray& ray, double t_min, const double& limit, Visit&& visit) const;

    // Calls visit(first, count) for leaves whose box the ray meets between t_min and `limit`
    // until one answers true (any hit will do); answers whether one did.
    template <typename Visit>
    bool any(const Ray& ray, double t_min, double limit, Visit&& visit) const;

private:
    std::vector<BvhNode> nodes_;
    std::vector<PrimitiveKey> keys_;
    int depth_ = 0;
    double reach_ = 0.0;  // the largest magnitude of any coordinate of the root's boxes
};

namespace bvh_detail {

// A child waiting on the stack, with where its box begins along the ray.
struct Pending {
    std::int32_t child;
    std::uint32_t count;
    float entry;
};

// Four children's entry distances rounds a stack can hold at most: three pending a level, the
// last level's four.
constexpr int kStackSize = 3 * (Bvh::kMaxDepth + 1) + 4;

}  // namespace bvh_detail

template <typename Visit>
void Bvh::nearest(const Ray& ray, double t_min, const double& limit, Visit&& visit) const {
    if (nodes_.empty()) return;
    const BoxSlabs slabs(ray, t_min, reach_);
    bvh_detail::Pending stack[bvh_detail::kStackSize];
    int top = 0;
    stack[top++] = {0, 0, 0.0f};
    while (top > 0) {
        const bvh_detail::Pending pending = stack[--top];
        const float far = BoxSlabs::far_end(limit);
        if (!slabs.entry_within(pending.entry, far)) continue;
        if (pending.count > 0) {
            visit(static_cast<std::size_t>(pending.child), static_cast<std::size_t>(pending.count));
            continue;
        }
        const BvhNode& node = nodes_[static_cast<std::size_t>(pending.child)];
        alignas(16) float entry[4];
        int met = slabs.meet(node, far, entry);
        // The children met, farthest pushed first so that the nearest comes off the stack first.
        int order[4];
        int n = 0;
        while (met != 0) {
            const int slot = __builtin_ctz(static_cast<unsigned>(met));
            met &= met - 1;
            // An empty slot's box is empty, but a ray whose every axis is left out (an origin
            // beyond the float range) meets even that.
            if (node.count[slot] == 0 && node.child[slot] < 0) continue;
            int at = n++;
            while (at > 0 && entry[order[at - 1]] < entry[slot]) {
                order[at] = order[at - 1];
                --at;
            }
            order[at] = slot;
        }
        for (int i = 0; i < n; ++i) {
            const int slot = order[i];
            stack[top++] = {node.child[slot], node.count[slot], entry[slot]};
        }
    }
}

template <typename Visit>
bool Bvh::any(const Ray& ray, double t_min, double limit, Visit&& visit) const {
    if (nodes_.empty()) return false;
    const BoxSlabs slabs(ray, t_min, reach_);
    const float far = BoxSlabs::far_end(limit);
    std::int32_t stack[bvh_detail::kStackSize];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const BvhNode& node = nodes_[static_cast<std::size_t>(stack[--top])];
        alignas(16) float entry[4];
        int met = slabs.meet(node, far, entry);
        while (met != 0) {
            const int slot = __builtin_ctz(static_cast<unsigned>(met));
            met &= met - 1;
            if (node.count[slot] > 0) {
                if (visit(static_cast<std::size_t>(node.child[slot]),
                          static_cast<std::size_t>(node.count[slot]))) {
                    return true;
                }
            } else if (node.child[slot] >= 0) {
                stack[top++] = node.child[slot];
            }
        }
    }
    return false;
}

}  // namespace tmhost

#endif
