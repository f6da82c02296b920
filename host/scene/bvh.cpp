#include "host/scene/bvh.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <limits>
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
constexpr std::uint32_t kSmallLeaf = 3;

// A box as six doubles, its lowest corner and its highest corner negated, so that joining two
// boxes is a minimum of each pair: three SSE2 instructions. The build joins boxes by the
// million.
struct JoinBox {
    double v[6] = {kInfinity, kInfinity, kInfinity, kInfinity, kInfinity, kInfinity};

    static constexpr double kInfinity = std::numeric_limits<double>::infinity();

    static JoinBox of(const Bounds& b) {
        JoinBox box;
        box.v[0] = b.min.x;
        box.v[1] = b.min.y;
        box.v[2] = b.min.z;
        box.v[3] = -b.max.x;
        box.v[4] = -b.max.y;
        box.v[5] = -b.max.z;
        return box;
    }
    void join(const JoinBox& o) {
        _mm_storeu_pd(v, _mm_min_pd(_mm_loadu_pd(v), _mm_loadu_pd(o.v)));
        _mm_storeu_pd(v + 2, _mm_min_pd(_mm_loadu_pd(v + 2), _mm_loadu_pd(o.v + 2)));
        _mm_storeu_pd(v + 4, _mm_min_pd(_mm_loadu_pd(v + 4), _mm_loadu_pd(o.v + 4)));
    }
    void join(const Vec3& p) {
        _mm_storeu_pd(v, _mm_min_pd(_mm_loadu_pd(v), _mm_set_pd(p.y, p.x)));
        _mm_storeu_pd(v + 2, _mm_min_pd(_mm_loadu_pd(v + 2), _mm_set_pd(-p.x, p.z)));
        _mm_storeu_pd(v + 4, _mm_min_pd(_mm_loadu_pd(v + 4), _mm_set_pd(-p.z, -p.y)));
    }
    Bounds bounds() const { return Bounds{{v[0], v[1], v[2]}, {-v[3], -v[4], -v[5]}}; }
    // Half the surface area, of a box that holds something: the heuristic compares areas only.
    double half_area() const {
        const double x = -v[3] - v[0];
        const double y = -v[4] - v[1];
        const double z = -v[5] - v[2];
        return x * y + y * z + z * x;
    }
};

struct Item {
    JoinBox box;
    double centre[3];
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
        JoinBox box;
        JoinBox centres;
        for (std::uint32_t i = begin; i < end; ++i) {
            const Item& item = items_[i];
            box.join(item.box);
            centres.join(Vec3{item.centre[0], item.centre[1], item.centre[2]});
        }
        const Bounds bounds = box.bounds();
        const std::uint32_t count = end - begin;
        const double low[3] = {centres.v[0], centres.v[1], centres.v[2]};
        const double spread[3] = {-centres.v[3] - low[0], -centres.v[4] - low[1],
                                  -centres.v[5] - low[2]};
        const double widest = std::max({spread[0], spread[1], spread[2]});
        // Few primitives, primitives all centred at one point (no split tells them apart) or a
        // path at its length limit: a leaf, however many it holds.
        if (count <= kSmallLeaf || !(widest > 0.0) || depth >= Bvh::kMaxDepth) {
            leaf(index, begin, end, bounds);
            return;
        }
        // Buckets along every axis over which the centres spread, no more than primitives; the
        // cheapest split of all.
        const int buckets = static_cast<int>(std::min<std::uint32_t>(kBuckets, count));
        double scale[3];
        std::uint32_t counts[3][kBuckets] = {};
        JoinBox boxes[3][kBuckets];  // each empty as made
        for (int axis = 0; axis < 3; ++axis) {
            scale[axis] = spread[axis] > 0.0 ? buckets / spread[axis] : 0.0;
        }
        const auto bucket_of = [&](const Item& item, int axis) {
            const double at = (item.centre[axis] - low[axis]) * scale[axis];
            return std::min(buckets - 1, static_cast<int>(at));
        };
        // The three buckets of an item at once, as bucket_of finds each: the same products in
        // double, truncated alike (at most `buckets`, never negative, so the 16-bit minimum
        // of SSE2 clamps them).
        const __m128d low_xy = _mm_loadu_pd(low);
        const __m128d low_z = _mm_load_sd(low + 2);
        const __m128d scale_xy = _mm_loadu_pd(scale);
        const __m128d scale_z = _mm_load_sd(scale + 2);
        const __m128i last = _mm_set1_epi32(buckets - 1);
        for (std::uint32_t i = begin; i < end; ++i) {
            const Item& item = items_[i];
            const __m128d at_xy =
                _mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(item.centre), low_xy), scale_xy);
            const __m128d at_z =
                _mm_mul_sd(_mm_sub_sd(_mm_load_sd(item.centre + 2), low_z), scale_z);
            const __m128i index = _mm_min_epi16(
                _mm_unpacklo_epi64(_mm_cvttpd_epi32(at_xy), _mm_cvttpd_epi32(at_z)), last);
            const int bx = _mm_cvtsi128_si32(index);
            const int by = _mm_cvtsi128_si32(_mm_shuffle_epi32(index, 0x55));
            const int bz = _mm_cvtsi128_si32(_mm_shuffle_epi32(index, 0xaa));
            ++counts[0][bx];
            ++counts[1][by];
            ++counts[2][bz];
            boxes[0][bx].join(item.box);
            boxes[1][by].join(item.box);
            boxes[2][bz].join(item.box);
        }
        double best_cost = std::numeric_limits<double>::infinity();
        int best_split = -1;
        int axis = 0;
        const double area = box.half_area();
        for (int a = 0; a < 3; ++a) {
            if (!(scale[a] > 0.0)) continue;
            // Cost of each split after bucket b, from running sums from both ends. A split
            // next to an empty bucket is the one beside it.
            double below_area[kBuckets];
            std::uint32_t below_count[kBuckets];
            JoinBox running;
            std::uint32_t so_far = 0;
            for (int b = 0; b + 1 < buckets; ++b) {
                so_far += counts[a][b];
                below_count[b] = so_far;
                if (counts[a][b] == 0) {
                    below_area[b] = b > 0 ? below_area[b - 1] : 0.0;
                    continue;
                }
                running.join(boxes[a][b]);
                below_area[b] = running.half_area();
            }
            running = JoinBox{};
            for (int b = buckets - 1; b >= 1; --b) {
                if (counts[a][b] == 0) continue;
                running.join(boxes[a][b]);
                const std::uint32_t below = below_count[b - 1];
                const std::uint32_t above = count - below;
                if (below == 0) continue;
                const double cost =
                    area > 0.0
                        ? kTraversalCost +
                              (below * below_area[b - 1] + above * running.half_area()) / area
                        : kTraversalCost + count * 0.5;
                if (cost < best_cost) {
                    best_cost = cost;
                    best_split = b - 1;
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
                return bucket_of(item, axis) <= best_split;
            });
            middle = static_cast<std::uint32_t>(split - items_.begin());
        }
        if (middle == begin || middle == end) {
            // No bucket boundary separates them: halve the run by centre along the widest axis.
            const int along = spread[0] >= spread[1] && spread[0] >= spread[2] ? 0
                              : spread[1] >= spread[2]                         ? 1
                                                                               : 2;
            middle = begin + count / 2;
            std::nth_element(items_.begin() + static_cast<std::ptrdiff_t>(begin),
                             items_.begin() + static_cast<std::ptrdiff_t>(middle),
                             items_.begin() + static_cast<std::ptrdiff_t>(end),
                             [along](const Item& a, const Item& b) {
                                 return a.centre[along] < b.centre[along];
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

BvhNode make_empty_node() {
    BvhNode node{};
    for (int slot = 0; slot < Bvh::kWidth; ++slot) {
        set_child_bounds(node, slot, Bounds{});
        node.child[slot] = -1;
        node.count[slot] = 0;
    }
    return node;
}

// Every node starts as four empty slots: made once, copied by the thousand.
const BvhNode& empty_node() {
    static const BvhNode empty = make_empty_node();
    return empty;
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
        const Vec3 centre = (p.bounds.min + p.bounds.max) * 0.5;
        items.push_back({JoinBox::of(p.bounds), {centre.x, centre.y, centre.z}, p.key});
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
