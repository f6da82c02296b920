#include "host/scene/bvh.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tmhost {

bool Bounds::contains(const Bounds& other) const {
    if (other.empty()) return true;
    return min.x <= other.min.x && min.y <= other.min.y && min.z <= other.min.z &&
           max.x >= other.max.x && max.y >= other.max.y && max.z >= other.max.z;
}

namespace {

// Buckets of the surface area heuristic along one axis, as in most production tracers: a dozen
// give nearly the split an exact sweep would, at a fraction of the cost.
constexpr int kBuckets = 12;
// The cost of visiting a binary node, relative to testing one primitive. Four children are
// tested at once, so a binary node costs less than a triangle.
constexpr double kTraversalCost = 1.0;

// Half the surface area of a box that holds something: the heuristic compares areas only.
double half_area(const Bounds& b) {
    const double x = b.max.x - b.min.x;
    const double y = b.max.y - b.min.y;
    const double z = b.max.z - b.min.z;
    return x * y + y * z + z * x;
}

struct Item {
    Bounds bounds;
    Vec3 centre;
    PrimitiveKey key;
};

// A node of the binary tree: an interior node's children are `first` and `first + 1`; a leaf
// holds the items [begin, begin + count).
struct BinaryNode {
    Bounds bounds;
    std::int32_t first = -1;
    std::uint32_t begin = 0;
    std::uint32_t count = 0;

    bool leaf() const { return first < 0; }
};

class BinaryBuild {
public:
    explicit BinaryBuild(std::vector<Item>& items) : items_(items) {
        nodes_.reserve(2 * items.size());
        nodes_.emplace_back();
        split(0, 0, static_cast<std::uint32_t>(items.size()), 0);
    }

    const std::vector<BinaryNode>& nodes() const { return nodes_; }

private:
    void leaf(int index, std::uint32_t begin, std::uint32_t end, const Bounds& bounds) {
        nodes_[static_cast<std::size_t>(index)] = BinaryNode{bounds, -1, begin, end - begin};
    }

    void split(int index, std::uint32_t begin, std::uint32_t end, int depth) {
        Bounds bounds;
        Bounds centres;
        for (std::uint32_t i = begin; i < end; ++i) {
            bounds.add(items_[i].bounds);
            centres.add(items_[i].centre);
        }
        const std::uint32_t count = end - begin;
        const Vec3 spread = centres.max - centres.min;
        const int widest = spread.x >= spread.y && spread.x >= spread.z ? 0
                           : spread.y >= spread.z                       ? 1
                                                                        : 2;
        // One primitive, primitives all centred at one point (no split tells them apart) or a
        // path at its length limit: a leaf, however many it holds.
        if (count == 1 || !(component(spread, widest) > 0.0) || depth >= Bvh::kMaxDepth) {
            leaf(index, begin, end, bounds);
            return;
        }
        // Buckets along every axis over which the centres spread, no more than primitives; the
        // cheapest split of all.
        const int buckets = static_cast<int>(std::min<std::uint32_t>(kBuckets, count));
        double scale[3];
        double low[3];
        std::array<std::array<std::uint32_t, kBuckets>, 3> counts;
        std::array<std::array<Bounds, kBuckets>, 3> boxes;
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = component(centres.min, axis);
            const double width = component(spread, axis);
            scale[axis] = width > 0.0 ? buckets / width : 0.0;
            for (int b = 0; b < buckets; ++b) {
                counts[static_cast<std::size_t>(axis)][static_cast<std::size_t>(b)] = 0;
                boxes[static_cast<std::size_t>(axis)][static_cast<std::size_t>(b)] = Bounds{};
            }
        }
        const auto bucket_of = [&](const Item& item, int axis) {
            const double at = (component(item.centre, axis) - low[axis]) * scale[axis];
            return static_cast<std::size_t>(std::min(buckets - 1, static_cast<int>(at)));
        };
        for (std::uint32_t i = begin; i < end; ++i) {
            const Item& item = items_[i];
            for (int axis = 0; axis < 3; ++axis) {
                const std::size_t b = bucket_of(item, axis);
                ++counts[static_cast<std::size_t>(axis)][b];
                boxes[static_cast<std::size_t>(axis)][b].add(item.bounds);
            }
        }
        double best_cost = std::numeric_limits<double>::infinity();
        int best_split = -1;
        int axis = widest;
        const double area = half_area(bounds);
        for (int a = 0; a < 3; ++a) {
            if (!(scale[a] > 0.0)) continue;
            const auto& axis_counts = counts[static_cast<std::size_t>(a)];
            const auto& axis_boxes = boxes[static_cast<std::size_t>(a)];
            // Cost of each split after bucket b, from running sums from both ends. A split
            // next to an empty bucket is the one beside it.
            std::array<double, kBuckets> below_area;
            std::array<std::uint32_t, kBuckets> below_count;
            Bounds running;
            std::uint32_t so_far = 0;
            for (std::size_t b = 0; b + 1 < static_cast<std::size_t>(buckets); ++b) {
                so_far += axis_counts[b];
                below_count[b] = so_far;
                if (axis_counts[b] == 0) {
                    below_area[b] = b > 0 ? below_area[b - 1] : 0.0;
                    continue;
                }
                running.add(axis_boxes[b]);
                below_area[b] = half_area(running);
            }
            running = Bounds{};
            for (std::size_t b = static_cast<std::size_t>(buckets) - 1; b >= 1; --b) {
                if (axis_counts[b] == 0) continue;
                running.add(axis_boxes[b]);
                const std::uint32_t below = below_count[b - 1];
                const std::uint32_t above = count - below;
                if (below == 0) continue;
                const double cost =
                    area > 0.0
                        ? kTraversalCost + (below * below_area[b - 1] + above * half_area(running)) /
                                               area
                        : kTraversalCost + count * 0.5;
                if (cost < best_cost) {
                    best_cost = cost;
                    best_split = static_cast<int>(b) - 1;
                    axis = a;
                }
            }
        }
        if (best_split >= 0 && count <= static_cast<std::uint32_t>(Bvh::kMaxLeafPrimitives) &&
            best_cost >= static_cast<double>(count)) {
            leaf(index, begin, end, bounds);
            return;
        }
        std::uint32_t middle = begin;
        if (best_split >= 0) {
            const auto first = items_.begin() + static_cast<std::ptrdiff_t>(begin);
            const auto split = std::partition(first, first + count, [&](const Item& item) {
                return bucket_of(item, axis) <= static_cast<std::size_t>(best_split);
            });
            middle = static_cast<std::uint32_t>(split - items_.begin());
        }
        if (middle == begin || middle == end) {
            // No bucket boundary separates them: halve the run by centre along the axis.
            middle = begin + count / 2;
            std::nth_element(items_.begin() + static_cast<std::ptrdiff_t>(begin),
                             items_.begin() + static_cast<std::ptrdiff_t>(middle),
                             items_.begin() + static_cast<std::ptrdiff_t>(end),
                             [axis](const Item& a, const Item& b) {
                                 return component(a.centre, axis) < component(b.centre, axis);
                             });
        }
        const auto first = static_cast<std::int32_t>(nodes_.size());
        nodes_.emplace_back();
        nodes_.emplace_back();
        nodes_[static_cast<std::size_t>(index)] = BinaryNode{bounds, first, 0, 0};
        split(first, begin, middle, depth + 1);
        split(first + 1, middle, end, depth + 1);
    }

    std::vector<Item>& items_;
    std::vector<BinaryNode> nodes_;
};

void set_child_bounds(BvhNode& node, int slot, const Bounds& bounds) {
    node.bounds[0][slot] = below(bounds.min.x);
    node.bounds[1][slot] = above(bounds.max.x);
    node.bounds[2][slot] = below(bounds.min.y);
    node.bounds[3][slot] = above(bounds.max.y);
    node.bounds[4][slot] = below(bounds.min.z);
    node.bounds[5][slot] = above(bounds.max.z);
}

BvhNode empty_node() {
    BvhNode node{};
    for (int slot = 0; slot < Bvh::kWidth; ++slot) {
        set_child_bounds(node, slot, Bounds{});
        node.child[slot] = -1;
        node.count[slot] = 0;
    }
    return node;
}

// Folds the binary tree into nodes of four children, each node before its children.
class Collapse {
public:
    Collapse(const std::vector<BinaryNode>& binary, std::vector<BvhNode>& nodes)
        : binary_(binary), nodes_(nodes) {}

    int depth() const { return depth_; }

    // The node for the children of binary node `index` (a leaf: a node of that one leaf).
    int node(int index, int depth) {
        depth_ = std::max(depth_, depth);
        std::array<int, Bvh::kWidth> slots{};
        int used = 0;
        const BinaryNode& top = binary_[static_cast<std::size_t>(index)];
        if (top.leaf()) {
            slots[used++] = index;
        } else {
            slots[used++] = top.first;
            slots[used++] = top.first + 1;
        }
        while (used < Bvh::kWidth) {
            int widest = -1;
            double widest_area = -1.0;
            for (int s = 0; s < used; ++s) {
                const BinaryNode& child = at(slots[static_cast<std::size_t>(s)]);
                if (child.leaf()) continue;
                const double area = child.bounds.surface_area();
                if (area > widest_area) {
                    widest_area = area;
                    widest = s;
                }
            }
            if (widest < 0) break;
            const int opened = at(slots[static_cast<std::size_t>(widest)]).first;
            slots[static_cast<std::size_t>(widest)] = opened;
            slots[static_cast<std::size_t>(used++)] = opened + 1;
        }
        const int self = static_cast<int>(nodes_.size());
        nodes_.push_back(empty_node());
        for (int s = 0; s < used; ++s) {
            const int b = slots[static_cast<std::size_t>(s)];
            const BinaryNode& child = at(b);
            std::int32_t target = 0;
            std::uint32_t count = 0;
            if (child.leaf()) {
                target = static_cast<std::int32_t>(child.begin);
                count = child.count;
            } else {
                target = node(b, depth + 1);
            }
            BvhNode& written = nodes_[static_cast<std::size_t>(self)];
            set_child_bounds(written, s, child.bounds);
            written.child[s] = target;
            written.count[s] = count;
        }
        return self;
    }

private:
    const BinaryNode& at(int index) const { return binary_[static_cast<std::size_t>(index)]; }

    const std::vector<BinaryNode>& binary_;
    std::vector<BvhNode>& nodes_;
    int depth_ = 0;
};

}  // namespace

Bvh::Bvh(std::vector<BvhPrimitive> primitives) {
    if (primitives.empty()) return;
    if (primitives.size() >
        static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 2)) {
        throw std::length_error("too many primitives for one tree");
    }
    std::vector<Item> items;
    items.reserve(primitives.size());
    for (const BvhPrimitive& p : primitives) {
        items.push_back({p.bounds, (p.bounds.min + p.bounds.max) * 0.5, p.key});
    }
    primitives.clear();
    primitives.shrink_to_fit();
    const BinaryBuild binary(items);
    keys_.reserve(items.size());
    for (const Item& item : items) keys_.push_back(item.key);
    nodes_.reserve(binary.nodes().size() / 2 + 1);
    Collapse collapse(binary.nodes(), nodes_);
    collapse.node(0, 1);
    depth_ = collapse.depth();
    const BvhNode& root = nodes_.front();
    for (int slot = 0; slot < kWidth; ++slot) {
        if (!root.is_leaf(slot) && !root.is_node(slot)) continue;
        for (int row = 0; row < 6; ++row) {
            reach_ = std::max(reach_, std::fabs(static_cast<double>(root.bounds[row][slot])));
        }
    }
    nodes_.shrink_to_fit();
}

}  // namespace tmhost
