#include "host/scene/bvh.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tmhost {

void Bounds::add(const Vec3& point) {
    min = {std::min(min.x, point.x), std::min(min.y, point.y), std::min(min.z, point.z)};
    max = {std::max(max.x, point.x), std::max(max.y, point.y), std::max(max.z, point.z)};
}

void Bounds::add(const Bounds& other) {
    if (other.empty()) return;
    add(other.min);
    add(other.max);
}

bool Bounds::contains(const Bounds& other) const {
    if (other.empty()) return true;
    return min.x <= other.min.x && min.y <= other.min.y && min.z <= other.min.z &&
           max.x >= other.max.x && max.y >= other.max.y && max.z >= other.max.z;
}

double Bounds::surface_area() const {
    if (empty()) return 0.0;
    const Vec3 d = max - min;
    return 2.0 * (d.x * d.y + d.y * d.z + d.z * d.x);
}

namespace {

Vec3 centre(const Bounds& bounds) { return (bounds.min + bounds.max) * 0.5; }

// Buckets of the surface area heuristic along one axis, as in most production tracers: twelve
// give nearly the split an exact sweep would, at a fraction of the cost.
constexpr int kBuckets = 12;
// The cost of visiting a node, relative to testing one primitive.
constexpr double kTraversalCost = 0.125;

}  // namespace

Bvh::Bvh(std::vector<BvhPrimitive> primitives) {
    if (primitives.empty()) return;
    if (primitives.size() >
        static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 2)) {
        throw std::length_error("too many primitives for one tree");
    }
    nodes_.reserve(2 * primitives.size());
    keys_.reserve(primitives.size());
    build(primitives, 0, primitives.size(), 0);
    nodes_.shrink_to_fit();
}

void Bvh::leaf(std::vector<BvhPrimitive>& primitives, std::size_t begin, std::size_t end,
               const Bounds& bounds) {
    BvhNode node;
    node.bounds = bounds;
    node.offset = static_cast<std::int32_t>(keys_.size());
    node.count = static_cast<std::uint32_t>(end - begin);
    for (std::size_t i = begin; i < end; ++i) keys_.push_back(primitives[i].key);
    nodes_.push_back(node);
}

int Bvh::build(std::vector<BvhPrimitive>& primitives, std::size_t begin, std::size_t end,
               int depth) {
    depth_ = std::max(depth_, depth);
    const int index = static_cast<int>(nodes_.size());
    Bounds bounds;
    Bounds centres;
    for (std::size_t i = begin; i < end; ++i) {
        bounds.add(primitives[i].bounds);
        centres.add(centre(primitives[i].bounds));
    }
    const std::size_t count = end - begin;
    const Vec3 spread = centres.max - centres.min;
    const int axis = spread.x >= spread.y && spread.x >= spread.z ? 0
                     : spread.y >= spread.z                       ? 1
                                                                  : 2;
    const double low = component(centres.min, axis);
    const double width = component(spread, axis);
    // One primitive, primitives all centred at one point (no split tells them apart) or a path at
    // its length limit: a leaf, however many it holds.
    if (count == 1 || !(width > 0.0) || depth >= kMaxDepth) {
        leaf(primitives, begin, end, bounds);
        return index;
    }

    std::size_t middle = begin;
    if (width > 0.0) {
        const auto bucket_of = [&](const BvhPrimitive& primitive) {
            const double at = (component(centre(primitive.bounds), axis) - low) / width;
            return std::min(kBuckets - 1, static_cast<int>(at * kBuckets));
        };
        std::array<int, kBuckets> counts{};
        std::array<Bounds, kBuckets> boxes{};
        for (std::size_t i = begin; i < end; ++i) {
            const int b = bucket_of(primitives[i]);
            ++counts[static_cast<std::size_t>(b)];
            boxes[static_cast<std::size_t>(b)].add(primitives[i].bounds);
        }
        // Cost of each split after bucket b, from running sums from both ends.
        std::array<double, kBuckets - 1> below_area{};
        std::array<int, kBuckets - 1> below_count{};
        Bounds running;
        int so_far = 0;
        for (int b = 0; b < kBuckets - 1; ++b) {
            running.add(boxes[static_cast<std::size_t>(b)]);
            so_far += counts[static_cast<std::size_t>(b)];
            below_area[static_cast<std::size_t>(b)] = running.surface_area();
            below_count[static_cast<std::size_t>(b)] = so_far;
        }
        running = Bounds{};
        double best_cost = std::numeric_limits<double>::infinity();
        int best_split = -1;
        const double area = bounds.surface_area();
        for (int b = kBuckets - 1; b >= 1; --b) {
            running.add(boxes[static_cast<std::size_t>(b)]);
            const int below = below_count[static_cast<std::size_t>(b - 1)];
            const int above = static_cast<int>(count) - below;
            if (below == 0 || above == 0) continue;
            const double cost =
                area > 0.0 ? kTraversalCost + (below * below_area[static_cast<std::size_t>(b - 1)] +
                                               above * running.surface_area()) /
                                                  area
                           : kTraversalCost + static_cast<double>(count) * 0.5;
            if (cost < best_cost) {
                best_cost = cost;
                best_split = b - 1;
            }
        }
        if (best_split >= 0 && count <= static_cast<std::size_t>(kMaxLeafPrimitives) &&
            best_cost >= static_cast<double>(count)) {
            leaf(primitives, begin, end, bounds);
            return index;
        }
        if (best_split >= 0) {
            const auto split = std::partition(
                primitives.begin() + static_cast<std::ptrdiff_t>(begin),
                primitives.begin() + static_cast<std::ptrdiff_t>(end),
                [&](const BvhPrimitive& primitive) { return bucket_of(primitive) <= best_split; });
            middle = static_cast<std::size_t>(split - primitives.begin());
        }
    }
    if (middle == begin || middle == end) {
        // No bucket boundary separates them: halve the run by centre along the axis.
        middle = begin + count / 2;
        std::nth_element(primitives.begin() + static_cast<std::ptrdiff_t>(begin),
                         primitives.begin() + static_cast<std::ptrdiff_t>(middle),
                         primitives.begin() + static_cast<std::ptrdiff_t>(end),
                         [axis](const BvhPrimitive& a, const BvhPrimitive& b) {
                             return component(centre(a.bounds), axis) <
                                    component(centre(b.bounds), axis);
                         });
    }

    nodes_.push_back(BvhNode{bounds, 0, 0, static_cast<std::uint8_t>(axis)});
    build(primitives, begin, middle, depth + 1);
    const int second = build(primitives, middle, end, depth + 1);
    nodes_[static_cast<std::size_t>(index)].offset = second;
    return index;
}

}  // namespace tmhost
