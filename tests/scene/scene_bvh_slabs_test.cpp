// The float box test of the hierarchy's nodes: it may meet a box a ray misses by a hair, never
// miss one the ray meets, whatever the rounding of the ray to floats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "host/scene/bvh.h"
#include "host/scene/bvh_slabs.h"
#include "host/scene/ray_offset.h"

namespace {

using namespace tmhost;

class Numbers {
public:
    explicit Numbers(std::uint64_t seed) : state_(seed * 0x9e3779b97f4a7c15ULL + 3) {}
    double uniform(double low, double high) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return low + (high - low) * (static_cast<double>(state_ >> 11) * 0x1p-53);
    }

private:
    std::uint64_t state_;
};

BvhNode node_of(const Bounds& box, int slot) {
    BvhNode node{};
    for (int s = 0; s < Bvh::kWidth; ++s) {
        const bool used = s == slot;
        node.bounds[0][s] = used ? below(box.min.x) : 1.0f;
        node.bounds[1][s] = used ? above(box.max.x) : -1.0f;
        node.bounds[2][s] = used ? below(box.min.y) : 1.0f;
        node.bounds[3][s] = used ? above(box.max.y) : -1.0f;
        node.bounds[4][s] = used ? below(box.min.z) : 1.0f;
        node.bounds[5][s] = used ? above(box.max.z) : -1.0f;
        node.child[s] = used ? 0 : -1;
        node.count[s] = used ? 1 : 0;
    }
    return node;
}

TEST(SceneBvhSlabs, FloatsRoundOutward) {
    EXPECT_EQ(below(1.0), 1.0f);
    EXPECT_EQ(above(1.0), 1.0f);
    EXPECT_LT(static_cast<double>(below(0.1)), 0.1);
    EXPECT_GT(static_cast<double>(above(0.1)), 0.1);
    EXPECT_GT(static_cast<double>(below(-0.1)), -0.1 - 1e-8);
    EXPECT_LT(static_cast<double>(below(-0.1)), -0.1);
    EXPECT_EQ(below(1e300), std::numeric_limits<float>::max());
    EXPECT_EQ(above(1e300), std::numeric_limits<float>::infinity());
    EXPECT_EQ(below(-1e300), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(above(-1e300), -std::numeric_limits<float>::max());
    EXPECT_EQ(below(std::numeric_limits<double>::infinity()), std::numeric_limits<float>::max());
}

// Tiny boxes seen from origins far from any float, aimed at a corner of the box or at a point of
// one of its faces: rounding the origin to floats alone moves the ray by far more than the box.
TEST(SceneBvhSlabs, RaysThroughTinyBoxesFromOriginsBetweenFloatsMeetThem) {
    Numbers numbers(5);
    int met_box = 0;
    for (int i = 0; i < 20000; ++i) {
        const double scale = std::ldexp(1.0, static_cast<int>(numbers.uniform(-4, 20)));
        const Vec3 origin{numbers.uniform(-scale, scale), numbers.uniform(-scale, scale),
                          numbers.uniform(-scale, scale)};
        const double size = scale * 1e-9;
        const Vec3 low{origin.x + numbers.uniform(-2, 2), origin.y + numbers.uniform(-2, 2),
                       origin.z + numbers.uniform(-2, 2)};
        Bounds box;
        box.add(low);
        box.add(low + Vec3{size, size * numbers.uniform(0, 1), size});
        // A corner, or a point on the face z = min.
        const Vec3 target = i % 2
                                ? box.max
                                : Vec3{box.min.x + numbers.uniform(0, 1) * (box.max.x - box.min.x),
                                       box.min.y, box.min.z};
        if (target == origin) continue;
        const Ray ray{origin, normalize(target - origin)};
        const double distance = length(target - origin);
        const BoxSlabs slabs(ray, distance * 0.5,
                             std::max(largest_coordinate(box.min), largest_coordinate(box.max)));
        alignas(16) float entry[4];
        const int slot = i % 4;
        const int met = slabs.meet(node_of(box, slot), BoxSlabs::far_end(distance * 2), entry);
        ASSERT_EQ(met, 1 << slot) << "ray " << i;
        ++met_box;
    }
    EXPECT_GT(met_box, 19000);
}

TEST(SceneBvhSlabs, RaysAlongAnAxisAndEmptySlots) {
    Bounds box;
    box.add(Vec3{0, 0, 0});
    box.add(Vec3{1, 1, 1});
    const BvhNode node = node_of(box, 2);
    alignas(16) float entry[4];
    const float far = BoxSlabs::far_end(100.0);
    // Along z: the axes x and y are left out, so the box is met in its faces and beside them,
    // but not behind the ray.
    EXPECT_EQ(BoxSlabs(Ray{{0, 0.5, -5}, {0, 0, 1}}, 1e-5, 1.0).meet(node, far, entry), 4);
    EXPECT_EQ(BoxSlabs(Ray{{0, 0.5, -5}, {-0.0, 0, 1}}, 1e-5, 1.0).meet(node, far, entry), 4);
    EXPECT_EQ(BoxSlabs(Ray{{-0.01, 0.5, -5}, {0, 0, 1}}, 1e-5, 1.0).meet(node, far, entry), 4);
    EXPECT_EQ(BoxSlabs(Ray{{0, 0.5, 1.5}, {0, 0, 1}}, 1e-5, 1.0).meet(node, far, entry), 0);
    // Slightly off the axis, the slab of x still rejects a ray that passes beside the box.
    EXPECT_EQ(BoxSlabs(Ray{{-0.5, 0.5, -5}, normalize(Vec3{0.01, 0, 1})}, 1e-5, 1.0)
                  .meet(node, far, entry),
              0);
    // Behind the ray, beyond its far end, and just within it.
    EXPECT_EQ(BoxSlabs(Ray{{0.5, 0.5, 5}, {0, 0, 1}}, 1e-5, 1.0).meet(node, far, entry), 0);
    EXPECT_EQ(BoxSlabs(Ray{{0.5, 0.5, -5}, {0, 0, 1}}, 1e-5, 1.0).meet(node, 4.9f, entry), 0);
    EXPECT_EQ(BoxSlabs(Ray{{0.5, 0.5, -5}, {0, 0, 1}}, 1e-5, 1.0).meet(node, 5.0f, entry), 4);
    EXPECT_LE(entry[2], 5.0f);  // never later than the box begins
    EXPECT_GT(entry[2], 4.999f);
    // Nearest-first walks pass over a box that begins beyond a nearer hit.
    const BoxSlabs slabs(Ray{{0.5, 0.5, -5}, {0, 0, 1}}, 1e-5, 1.0);
    EXPECT_TRUE(slabs.entry_within(5.0f, 5.0f));
    EXPECT_FALSE(slabs.entry_within(5.0f, 4.99f));
}

}  // namespace
