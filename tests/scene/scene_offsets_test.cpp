// The offsets at the ends of rays and shadow segments follow the points at those ends, never the
// size of the scene: a far object or a far light leaves every answer near the camera as it was.
#include <gtest/gtest.h>

#include <vector>

#include "host/scene/ray_offset.h"
#include "host/scene/tracer.h"

namespace {

using namespace tmhost;

SceneObject object(const char* name, Shape shape) { return SceneObject{name, shape, {1, 1, 1}}; }

Tracer scene_of(std::vector<SceneObject> objects, std::vector<Vec3> lights = {}) {
    Scene scene;
    scene.objects = std::move(objects);
    for (const Vec3& position : lights) {
        Light light;
        light.name = "light" + std::to_string(scene.lights.size());
        light.position = position;
        scene.lights.push_back(light);
    }
    return Tracer(std::move(scene));
}

bool lit(const Tracer& tracer, int light, Vec3 point) {
    const float at[3] = {static_cast<float>(point.x), static_cast<float>(point.y),
                         static_cast<float>(point.z)};
    float colour[3];
    return tracer.illuminate(light, at, true, colour);
}

// A wall across the z axis at z = `at`, facing the origin.
SceneObject wall_at(double at) { return object("wall", Plane{{0, 0, at}, {0, 0, 1}}); }

TEST(SceneOffsets, FollowTheLargestCoordinateWithAFloorNearTheOrigin) {
    EXPECT_DOUBLE_EQ(start_offset({0, 0, 0}), 6e-5);
    EXPECT_DOUBLE_EQ(start_offset({-5.9, 3, 1}), 6e-5);
    EXPECT_DOUBLE_EQ(start_offset({2, -300, 7}), 3e-3);
    EXPECT_DOUBLE_EQ(start_offset({0, 0, 1e17}), 1e12);
    // The far end: its own magnitude or the length of the way there, whichever is larger.
    EXPECT_DOUBLE_EQ(end_offset({0, 0, 0}, 1), 6e-5);
    EXPECT_DOUBLE_EQ(end_offset({0, 0, -50}, 10), 5e-4);
    EXPECT_DOUBLE_EQ(end_offset({1, 1, 1}, 200), 2e-3);
}

TEST(SceneOffsets, CameraRaysIgnoreOnlyCrossingsWithinTheirOriginsOffset) {
    const Ray from_origin{{0, 0, 0}, {0, 0, 1}};
    EXPECT_FALSE(scene_of({wall_at(5e-5)}).nearest_hit(from_origin));
    const auto beyond = scene_of({wall_at(7e-5)}).nearest_hit(from_origin);
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->distance, 7e-5);

    // A million units out the offset is ten units.
    const Ray far_out{{1e6, 0, 0}, {1, 0, 0}};
    const SceneObject near_wall = object("near", Plane{{1e6 + 9, 0, 0}, {1, 0, 0}});
    const SceneObject far_wall = object("far", Plane{{1e6 + 11, 0, 0}, {1, 0, 0}});
    EXPECT_FALSE(scene_of({near_wall}).nearest_hit(far_out));
    const auto out_there = scene_of({near_wall, far_wall}).nearest_hit(far_out);
    ASSERT_TRUE(out_there);
    EXPECT_EQ(out_there->object, 1);
    EXPECT_EQ(out_there->distance, 11.0);
}

TEST(SceneOffsets, FarObjectsLeaveNearHitsAsTheyAre) {
    const SceneObject ball = object("ball", Sphere{{0, 0, 10}, 2});
    const Ray ray{{0, 0, 0}, {0, 0, 1}};
    for (const SceneObject& far :
         {object("far", Sphere{{0, 0, -1e7}, 1}), object("huge", Sphere{{1e18, 0, 0}, 1e18 - 100}),
          object("corner", Box{{-1e18, -1e18, -1e18}, {-1e17, 0, 0}})}) {
        SCOPED_TRACE(far.name);
        const auto hit = scene_of({ball, far}).nearest_hit(ray);
        ASSERT_TRUE(hit);
        EXPECT_EQ(hit->object, 0);
        EXPECT_EQ(hit->distance, 8.0);
        // From the ball's surface, through the ball: its far side.
        const auto through = scene_of({ball, far}).nearest_hit(Ray{{0, 0, 8}, {0, 0, 1}});
        ASSERT_TRUE(through);
        EXPECT_EQ(through->object, 0);
        EXPECT_EQ(through->distance, 4.0);
    }
}

TEST(SceneOffsets, PointsJustInsideASurfaceAreShadowedBeyondTheirOffset) {
    const SceneObject ground = object("ground", Plane{{0, 0, 0}, {0, 1, 0}});
    const Tracer near = scene_of({ground}, {{0, 5, 0}});
    EXPECT_TRUE(lit(near, 0, {0, -5e-5, 0}));
    EXPECT_FALSE(lit(near, 0, {0, -7e-5, 0}));
    // A million units out, ten units below the ground still count as on it.
    const Tracer far = scene_of({ground}, {{1e6, 100, 0}});
    EXPECT_TRUE(lit(far, 0, {1e6, -9, 0}));
    EXPECT_FALSE(lit(far, 0, {1e6, -11, 0}));
}

TEST(SceneOffsets, AFarLightStillCastsTheShadowsOfNearObjects) {
    const Tracer tracer = scene_of(
        {object("ground", Plane{{0, 0, 0}, {0, 1, 0}}), object("ball", Sphere{{0, 2, 0}, 0.5})},
        {{0, 1e17, 0}});
    EXPECT_FALSE(lit(tracer, 0, {0, 0.05, 0}));     // under the ball
    EXPECT_FALSE(lit(tracer, 0, {0.3, 1.9, 0.1}));  // inside it
    EXPECT_TRUE(lit(tracer, 0, {3, 0.05, 0}));      // beside it
    EXPECT_TRUE(lit(tracer, 0, {0, 2.5, 0}));       // on its top
}

TEST(SceneOffsets, TheFarEndOfASegmentAllowsForTheLengthOfTheWay) {
    // A light on the ground, a point a thousand units above it: near the light, crossings within
    // a hundred-thousandth of the way (a hundredth of a unit) are left out.
    const Vec3 point{0, 1000, 0};
    EXPECT_TRUE(
        lit(scene_of({object("ground", Plane{{0, 0, 0}, {0, 1, 0}})}, {{0, 0, 0}}), 0, point));
    EXPECT_TRUE(
        lit(scene_of({object("film", Plane{{0, 0.009, 0}, {0, 1, 0}})}, {{0, 0, 0}}), 0, point));
    EXPECT_FALSE(
        lit(scene_of({object("film", Plane{{0, 0.011, 0}, {0, 1, 0}})}, {{0, 0, 0}}), 0, point));
}

}  // namespace
