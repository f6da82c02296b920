// The tracer's hierarchy: its invariants on random primitive sets, and its answers against the
// search through every object, bit for bit, on many random scenes with ties made on purpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "host/scene/bvh.h"
#include "host/scene/camera_rays.h"
#include "host/scene/scene_parser.h"
#include "host/scene/tracer.h"

namespace {

using namespace tmhost;

// A fixed generator of its own, so that the scenes are the same on every machine and library.
class Numbers {
public:
    explicit Numbers(std::uint64_t seed) : state_(seed * 0x9e3779b97f4a7c15ULL + 1) {}
    double uniform(double low, double high) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        const double unit = static_cast<double>(state_ >> 11) * 0x1p-53;
        return low + (high - low) * unit;
    }
    int below(int n) { return std::min(n - 1, static_cast<int>(uniform(0.0, n))); }
    Vec3 point(double extent) {
        return {uniform(-extent, extent), uniform(-extent, extent), uniform(-extent, extent)};
    }
    Vec3 direction() {
        for (;;) {
            const Vec3 v = point(1.0);
            const double squared = dot(v, v);
            if (squared > 1e-4 && squared <= 1.0) return normalize(v);
        }
    }

private:
    std::uint64_t state_;
};

std::shared_ptr<MeshData> mesh_of(const std::vector<std::array<Vec3, 3>>& corners) {
    auto mesh = std::make_shared<MeshData>();
    for (const auto& c : corners) mesh->triangles.push_back({c[0], c[1] - c[0], c[2] - c[0]});
    return mesh;
}

// Spheres, boxes, a plane or two and small meshes, some of them repeated at other indices so
// that two objects (or two triangles of one mesh) are met at exactly the same distance.
Scene random_scene(Numbers& numbers) {
    Scene scene;
    const int count = 1 + numbers.below(40);
    for (int i = 0; i < count; ++i) {
        const int kind = numbers.below(10);
        Shape shape;
        if (kind < 4) {
            shape = Sphere{numbers.point(6.0), numbers.uniform(0.05, 2.0)};
        } else if (kind < 7) {
            const Vec3 a = numbers.point(6.0);
            const Vec3 size{numbers.uniform(0.0, 2.0), numbers.uniform(0.0, 2.0),
                            numbers.uniform(0.0, 2.0)};
            shape = Box{a, a + size};
        } else if (kind < 8) {
            shape = Plane{numbers.point(6.0), numbers.direction()};
        } else {
            std::vector<std::array<Vec3, 3>> corners;
            const Vec3 centre = numbers.point(5.0);
            const int triangles = 1 + numbers.below(30);
            for (int t = 0; t < triangles; ++t) {
                corners.push_back({centre + numbers.point(1.5), centre + numbers.point(1.5),
                                   centre + numbers.point(1.5)});
                if (numbers.below(5) == 0) corners.push_back(corners.back());  // a tie in the mesh
            }
            shape = Mesh{mesh_of(corners)};
        }
        scene.objects.push_back({"o" + std::to_string(i), shape, {1, 1, 1}});
        if (numbers.below(6) == 0) {  // the same shape again, later in the list
            scene.objects.push_back({"again" + std::to_string(i), shape, {1, 1, 1}});
        }
    }
    return scene;
}

bool same_bits(const Vec3& a, const Vec3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

::testing::AssertionResult same_hit(const std::optional<Hit>& expected,
                                    const std::optional<Hit>& found) {
    if (!expected && !found) return ::testing::AssertionSuccess();
    if (!expected || !found) {
        return ::testing::AssertionFailure()
               << (expected ? "the tree found no hit" : "the tree found a hit where none is");
    }
    if (expected->object != found->object) {
        return ::testing::AssertionFailure()
               << "object " << found->object << " instead of " << expected->object;
    }
    if (std::memcmp(&expected->distance, &found->distance, sizeof(double)) != 0 ||
        !same_bits(expected->point, found->point) || !same_bits(expected->normal, found->normal)) {
        return ::testing::AssertionFailure() << "same object, other bits";
    }
    return ::testing::AssertionSuccess();
}

// Rays from anywhere, from the surface points of earlier hits (as shadow rays start) and through
// the corners of the scene's boxes and the centres of its spheres, where grazing and edge hits
// lie.
std::vector<Ray> random_rays(Numbers& numbers, const Scene& scene, int count) {
    std::vector<Ray> rays;
    for (int i = 0; i < count; ++i) {
        const Vec3 origin = numbers.point(12.0);
        Vec3 toward = numbers.point(6.0);
        if (!scene.objects.empty() && numbers.below(2) == 0) {
            const Shape& shape = scene
                                     .objects[static_cast<std::size_t>(
                                         numbers.below(static_cast<int>(scene.objects.size())))]
                                     .shape;
            if (const auto* box = std::get_if<Box>(&shape))
                toward = numbers.below(2) ? box->min : box->max;
            if (const auto* sphere = std::get_if<Sphere>(&shape)) toward = sphere->center;
            if (const auto* mesh = std::get_if<Mesh>(&shape))
                toward = mesh->data->triangles[0].corner;
        }
        if (toward == origin) continue;
        rays.push_back({origin, normalize(toward - origin)});
    }
    return rays;
}

TEST(SceneBvh, AgreesWithTestingEveryObjectBitForBit) {
    long rays = 0;
    long hits = 0;
    long segments = 0;
    long blocked = 0;
    for (std::uint64_t seed = 1; seed <= 400; ++seed) {
        Numbers numbers(seed);
        const Scene scene = random_scene(numbers);
        const Tracer tracer(scene);
        for (const Ray& ray : random_rays(numbers, scene, 150)) {
            const auto expected = nearest_hit_of_every_object(scene, ray);
            ASSERT_TRUE(same_hit(expected, tracer.nearest_hit(ray))) << "scene " << seed;
            ++rays;
            if (!expected) continue;
            ++hits;
            // A shadow segment from the hit point to a random light, as illuminate asks.
            const Vec3 light = numbers.point(12.0);
            const Vec3 span = light - expected->point;
            const double distance = length(span);
            const bool brute =
                segment_blocked_by_any_object(scene, expected->point, span, distance);
            ASSERT_EQ(tracer.segment_blocked(expected->point, span, distance), brute)
                << "scene " << seed;
            ++segments;
            blocked += brute;
        }
    }
    // The cases must have met both answers often, or the comparison proves little.
    EXPECT_GT(hits, rays / 4);
    EXPECT_GT(blocked, segments / 10);
    EXPECT_LT(blocked, segments - segments / 10);
    RecordProperty("rays", static_cast<int>(rays));
    RecordProperty("segments", static_cast<int>(segments));
}

TEST(SceneBvh, AgreesOnTheExampleMeshesSeenByTheirCameras) {
    // Real meshes: thousands of small triangles sharing edges and corners, smooth normals, a
    // ray through the edge between two triangles that meets the first of them.
    for (const char* name : {"mesh_torus_knot", "mesh_icosphere", "mesh_terrain"}) {
        const Scene scene =
            load_scene_file(std::string(TONEMIX_SOURCE_DIR) + "/scenes/" + name + ".json");
        const Tracer tracer(scene);
        const CameraRays camera(scene.camera, 24, 18);
        int hits = 0;
        for (int y = 0; y < 18; ++y) {
            for (int x = 0; x < 24; ++x) {
                const Ray ray = camera.ray(x, y);
                const auto expected = nearest_hit_of_every_object(scene, ray);
                ASSERT_TRUE(same_hit(expected, tracer.nearest_hit(ray)))
                    << name << " " << x << " " << y;
                if (!expected) continue;
                ++hits;
                for (const Light& light : scene.lights) {
                    const Vec3 span = light.position - expected->point;
                    const double distance = length(span);
                    ASSERT_EQ(tracer.segment_blocked(expected->point, span, distance),
                              segment_blocked_by_any_object(scene, expected->point, span, distance))
                        << name << " " << x << " " << y;
                }
            }
        }
        EXPECT_GT(hits, 24 * 18 / 3) << name;
    }
}

TEST(SceneBvh, TiesGoToTheObjectAndTriangleListedFirst) {
    // The same sphere three times, and a mesh whose triangle is listed twice after a far one:
    // the first listed of equals wins, whatever the tree's order.
    const Sphere ball{{0, 0, 5}, 1};
    const std::shared_ptr<MeshData> wall =
        mesh_of({{Vec3{-1, -1, 9}, Vec3{1, -1, 9}, Vec3{0, 1, 9}},
                 {Vec3{-1, -1, 3}, Vec3{1, -1, 3}, Vec3{0, 1, 3}},
                 {Vec3{-1, -1, 3}, Vec3{1, -1, 3}, Vec3{0, 1, 3}}});
    Scene scene;
    for (int i = 0; i < 100; ++i) {
        scene.objects.push_back({"filler" + std::to_string(i), Sphere{{20.0 + i, 0, 0}, 0.5}, {}});
    }
    scene.objects.push_back({"ball", ball, {}});
    scene.objects.push_back({"ball2", ball, {}});
    scene.objects.push_back({"wall", Mesh{wall}, {}});
    scene.objects.push_back({"wall2", Mesh{wall}, {}});
    scene.objects.push_back({"ball3", ball, {}});
    const Tracer tracer(scene);
    const Ray rays[] = {{{0, 0.2, -5}, {0, 0, 1}},    // the wall's doubled triangle, at z = 3
                        {{0, -0.2, 3.5}, {0, 0, 1}},  // the ball's front, at z = 4
                        {{0, 0.1, 6.5}, {0, 0, -1}},  // the ball's back, at z = 6
                        {{0, 0, 7}, {0, 0, 1}}};      // the wall's far triangle, at z = 9
    const int expected[] = {102, 100, 100, 102};
    for (int i = 0; i < 4; ++i) {
        const auto hit = tracer.nearest_hit(rays[i]);
        ASSERT_TRUE(hit) << i;
        EXPECT_EQ(hit->object, expected[i]) << i;
        EXPECT_TRUE(same_hit(nearest_hit_of_every_object(scene, rays[i]), hit)) << i;
    }
    EXPECT_EQ(tracer.nearest_hit(rays[0])->distance, 8.0);
}

bool float_box_holds(const BvhNode& node, int slot, const Bounds& b) {
    return node.bounds[0][slot] <= b.min.x && node.bounds[1][slot] >= b.max.x &&
           node.bounds[2][slot] <= b.min.y && node.bounds[3][slot] >= b.max.y &&
           node.bounds[4][slot] <= b.min.z && node.bounds[5][slot] >= b.max.z;
}

bool float_box_holds_child(const BvhNode& node, int slot, const BvhNode& child, int inner) {
    for (int row = 0; row < 6; row += 2) {
        if (node.bounds[row][slot] > child.bounds[row][inner]) return false;
        if (node.bounds[row + 1][slot] < child.bounds[row + 1][inner]) return false;
    }
    return true;
}

// Every rule of the layout, checked on a tree: the root first, every node before its children
// and reached once, each box holding its child's boxes or primitives (rounded outward, never
// inward), empty slots empty, each primitive in exactly one leaf.
void check_invariants(const Bvh& bvh, const std::vector<BvhPrimitive>& primitives) {
    const std::vector<BvhNode>& nodes = bvh.nodes();
    const std::vector<PrimitiveKey>& keys = bvh.primitives();
    ASSERT_EQ(keys.size(), primitives.size());
    if (primitives.empty()) {
        EXPECT_TRUE(nodes.empty());
        return;
    }
    ASSERT_LE(nodes.size(), primitives.size());
    EXPECT_LE(bvh.depth(), Bvh::kMaxDepth + 1);
    std::vector<int> seen(primitives.size(), 0);
    std::vector<int> reached(nodes.size(), 0);
    std::vector<Bounds> bounds_of(primitives.size());
    for (const BvhPrimitive& p : primitives) {
        bounds_of[static_cast<std::size_t>(p.key.part)] = p.bounds;
    }
    std::function<void(int, int)> walk = [&](int index, int depth) {
        ASSERT_LE(depth, Bvh::kMaxDepth + 1);
        ++reached.at(static_cast<std::size_t>(index));
        const BvhNode& node = nodes[static_cast<std::size_t>(index)];
        int children = 0;
        for (int slot = 0; slot < Bvh::kWidth; ++slot) {
            if (node.is_leaf(slot)) {
                ++children;
                const auto first = static_cast<std::size_t>(node.child[slot]);
                ASSERT_LE(first + node.count[slot], keys.size());
                for (std::uint32_t i = 0; i < node.count[slot]; ++i) {
                    const PrimitiveKey key = keys[first + i];
                    ++seen.at(static_cast<std::size_t>(key.part));
                    EXPECT_TRUE(
                        float_box_holds(node, slot, bounds_of[static_cast<std::size_t>(key.part)]));
                }
            } else if (node.is_node(slot)) {
                ++children;
                ASSERT_GT(node.child[slot], index) << "a node after its child";
                ASSERT_LT(static_cast<std::size_t>(node.child[slot]), nodes.size());
                const BvhNode& child = nodes[static_cast<std::size_t>(node.child[slot])];
                for (int inner = 0; inner < Bvh::kWidth; ++inner) {
                    if (child.is_leaf(inner) || child.is_node(inner)) {
                        EXPECT_TRUE(float_box_holds_child(node, slot, child, inner));
                    }
                }
                walk(node.child[slot], depth + 1);
            } else {
                EXPECT_GT(node.bounds[0][slot], node.bounds[1][slot]) << "an empty slot's box";
            }
        }
        EXPECT_GE(children, 1);
    };
    walk(0, 1);
    for (std::size_t i = 0; i < reached.size(); ++i) EXPECT_EQ(reached[i], 1) << "node " << i;
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], 1) << "primitive " << i;
}

std::vector<BvhPrimitive> random_boxes(Numbers& numbers, int count, double extent) {
    std::vector<BvhPrimitive> primitives;
    for (int i = 0; i < count; ++i) {
        Bounds b;
        const Vec3 a = numbers.point(extent);
        b.add(a);
        b.add(a + Vec3{numbers.uniform(0, 1), numbers.uniform(0, 1), numbers.uniform(0, 1)});
        primitives.push_back({b, {0, i}});
    }
    return primitives;
}

TEST(SceneBvh, LayoutInvariantsHoldForAnySet) {
    Numbers numbers(7);
    for (const int count : {0, 1, 2, 3, 8, 9, 100, 5000}) {
        const auto primitives = random_boxes(numbers, count, 50.0);
        SCOPED_TRACE(count);
        check_invariants(Bvh(primitives), primitives);
    }
    // Every primitive at one centre: nothing separates them, so one leaf holds them all.
    std::vector<BvhPrimitive> stacked;
    for (int i = 0; i < 300; ++i) {
        Bounds b;
        b.add(Vec3{1.0 - i * 0.25, 2, 3});
        b.add(Vec3{1.0 + i * 0.25, 2, 3});
        stacked.push_back({b, {0, i}});
    }
    const Bvh one_leaf(stacked);
    check_invariants(one_leaf, stacked);
    EXPECT_EQ(one_leaf.nodes().size(), 1u);
    // Sizes growing geometrically drive the tree deep; its depth stays within the limit.
    std::vector<BvhPrimitive> nested;
    for (int i = 0; i < 200; ++i) {
        Bounds b;
        const double at = std::ldexp(1.0, i - 100);
        b.add(Vec3{at, at, at});
        b.add(Vec3{at * 1.5, at * 1.5, at * 1.5});
        nested.push_back({b, {0, i}});
    }
    check_invariants(Bvh(nested), nested);
}

TEST(SceneBvh, SurfaceAreaSplitsKeepLeavesSmallAndTheTreeShallow) {
    Numbers numbers(11);
    const auto primitives = random_boxes(numbers, 20000, 100.0);
    const Bvh bvh(primitives);
    std::size_t largest = 0;
    std::size_t children = 0;
    for (const BvhNode& node : bvh.nodes()) {
        for (int slot = 0; slot < Bvh::kWidth; ++slot) {
            largest = std::max<std::size_t>(largest, node.count[slot]);
            children += node.is_leaf(slot) || node.is_node(slot);
        }
    }
    EXPECT_LE(largest, static_cast<std::size_t>(Bvh::kMaxLeafPrimitives));
    EXPECT_LE(bvh.depth(), 20);
    // Nodes hold well over two children on average: the binary tree is folded, not copied.
    EXPECT_GT(children * 2, bvh.nodes().size() * 5);
    EXPECT_GT(bvh.memory_bytes(), bvh.nodes().size() * sizeof(BvhNode));
}

TEST(SceneBvh, ThreadsSharingOneTracerGetTheSameAnswers) {
    Numbers numbers(99);
    const Scene scene = random_scene(numbers);
    const Tracer tracer(scene);
    const std::vector<Ray> rays = random_rays(numbers, scene, 2000);
    std::vector<std::optional<Hit>> expected;
    for (const Ray& ray : rays) expected.push_back(nearest_hit_of_every_object(scene, ray));
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int pass = 0; pass < 5; ++pass) {
                for (std::size_t i = 0; i < rays.size(); ++i) {
                    if (!same_hit(expected[i], tracer.nearest_hit(rays[i]))) ++mismatches[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
