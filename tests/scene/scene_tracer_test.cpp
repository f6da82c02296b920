// Camera rays and ray hits on tiny scenes whose answers follow by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "host/scene/camera_rays.h"
#include "host/scene/tracer.h"

namespace {

using namespace tmhost;

SceneObject object(const char* name, Shape shape) { return SceneObject{name, shape, {1, 1, 1}}; }

Tracer tracer_of(std::vector<SceneObject> objects) {
    Scene scene;
    scene.objects = std::move(objects);
    return Tracer(std::move(scene));
}

void expect_vec3(const Vec3& actual, const Vec3& expected, double tolerance = 0.0) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(SceneCamera, TangentMatchesKnownValues) {
    // A few units in the last place: plenty for aiming rays. What matters more is that plain
    // arithmetic gives the same bits in both builds.
    EXPECT_NEAR(tan_degrees(45.0), 1.0, 1e-15);
    EXPECT_NEAR(tan_degrees(30.0), 1.0 / std::sqrt(3.0), 1e-15);
    EXPECT_NEAR(tan_degrees(60.0), std::sqrt(3.0), 2e-15);
    // Extended precision for the reference: near 90 degrees, rounding the angle to radians in
    // double alone would move tan by more than the tolerance.
    const long double pi = 3.14159265358979323846264338327950288L;
    for (double degrees = 0.5; degrees < 90.0; degrees += 7.25) {
        const double expected = static_cast<double>(std::tan(degrees * pi / 180.0L));
        EXPECT_NEAR(tan_degrees(degrees), expected, 1e-15 * expected) << degrees;
    }
}

TEST(SceneCamera, SinglePixelLooksAtTheTarget) {
    const Camera camera{{1, 2, 3}, {1, 2, -7}, {0, 1, 0}, 50.0};
    const Ray ray = CameraRays(camera, 1, 1).ray(0, 0);
    expect_vec3(ray.origin, {1, 2, 3});
    expect_vec3(ray.direction, {0, 0, -1});
}

TEST(SceneCamera, PixelCentresSpanTheVerticalFieldOfView) {
    // 90 degrees: the image plane at distance 1 reaches +-1 vertically and, 4:2, +-2 across.
    const Camera camera{{0, 0, 0}, {0, 0, -1}, {0, 1, 0}, 90.0};
    const CameraRays rays(camera, 4, 2);
    const double tolerance = 1e-15;
    const Vec3 top_left = normalize({-1.5, 0.5, -1});  // centre of pixel (0, 0)
    expect_vec3(rays.ray(0, 0).direction, top_left, tolerance);
    expect_vec3(rays.ray(3, 1).direction, {-top_left.x, -top_left.y, top_left.z}, tolerance);
    expect_vec3(rays.ray(2, 0).direction, normalize({0.5, 0.5, -1}), tolerance);
}

TEST(SceneCamera, UpVectorTurnsTheImage) {
    // Looking down with "up" along -z: right is +x, the top of the image lies toward -z.
    const Camera camera{{0, 5, 0}, {0, 0, 0}, {0, 0, -1}, 90.0};
    const CameraRays rays(camera, 3, 3);
    expect_vec3(rays.ray(1, 1).direction, {0, -1, 0});
    expect_vec3(rays.ray(2, 1).direction, normalize({2.0 / 3.0, -1, 0}), 1e-15);
    expect_vec3(rays.ray(1, 0).direction, normalize({0, -1, -2.0 / 3.0}), 1e-15);
}

TEST(SceneCamera, TinyAndHugeVectorsAimAsTheirDirectionsSay) {
    // The same view and up directions, scaled by 2^-400 and by 2^400: the parser accepts both, but
    // products of their components underflow or overflow. Scaled by powers of two, every ray must
    // be the unscaled camera's, bit for bit.
    const Vec3 view{1.25, -0.5, -3.0};
    const Vec3 up{0.25, 1.0, 0.0};
    const CameraRays plain(Camera{{0, 0, 0}, view, up, 50.0}, 5, 3);
    for (const double scale : {0x1p-400, 0x1p400}) {
        const CameraRays scaled(Camera{{0, 0, 0}, view * scale, up * scale, 50.0}, 5, 3);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                const Vec3 expected = plain.ray(x, y).direction;
                const Vec3 found = scaled.ray(x, y).direction;
                EXPECT_TRUE(found == expected)
                    << scale << " (" << x << ", " << y << "): " << found.x << " " << found.y << " "
                    << found.z;
            }
        }
    }
    // The middle pixel looks along the view direction itself.
    const Vec3 middle = CameraRays(Camera{{0, 0, 0}, view * 0x1p-400, up * 0x1p-400, 50.0}, 5, 3)
                            .ray(2, 1)
                            .direction;
    const double norm = std::sqrt(1.25 * 1.25 + 0.5 * 0.5 + 3.0 * 3.0);
    expect_vec3(middle, {1.25 / norm, -0.5 / norm, -3.0 / norm}, 1e-15);
}

TEST(SceneCamera, RefusesDegenerateCameras) {
    EXPECT_THROW(CameraRays(Camera{{0, 0, 0}, {0, 0, 0}, {0, 1, 0}, 45}, 1, 1),
                 std::invalid_argument);
    EXPECT_THROW(CameraRays(Camera{{0, 0, 0}, {0, 3, 0}, {0, 1, 0}, 45}, 1, 1),
                 std::invalid_argument);
    EXPECT_THROW(CameraRays(Camera{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 180}, 1, 1),
                 std::invalid_argument);
    EXPECT_THROW(CameraRays(Camera{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 45}, 0, 1),
                 std::invalid_argument);
}

TEST(SceneHits, RayStraightDownMeetsTheGroundFacingUp) {
    const Camera camera{{0, 5, 0}, {0, 0, 0}, {0, 0, -1}, 30.0};
    const Tracer tracer = tracer_of({object("ground", Plane{{0, 0, 0}, {0, 1, 0}})});
    const auto hit = tracer.nearest_hit(CameraRays(camera, 1, 1).ray(0, 0));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->object, 0);
    EXPECT_EQ(hit->distance, 5.0);
    expect_vec3(hit->point, {0, 0, 0});
    expect_vec3(hit->normal, {0, 1, 0});
}

TEST(SceneHits, PlaneSeenFromBelowFacesTheViewer) {
    const Tracer tracer = tracer_of({object("ceiling", Plane{{0, 2, 0}, {0, 1, 0}})});
    const auto hit = tracer.nearest_hit(Ray{{3, -1, 4}, {0, 1, 0}});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->distance, 3.0);
    expect_vec3(hit->point, {3, 2, 4});
    expect_vec3(hit->normal, {0, -1, 0});
    EXPECT_FALSE(tracer.nearest_hit(Ray{{0, 0, 0}, {1, 0, 0}}));  // parallel
}

TEST(SceneHits, SphereDistanceAndNormal) {
    const Tracer tracer = tracer_of({object("ball", Sphere{{0, 0, 10}, 2})});
    const auto centre = tracer.nearest_hit(Ray{{0, 0, 0}, {0, 0, 1}});
    ASSERT_TRUE(centre);
    EXPECT_EQ(centre->distance, 8.0);
    expect_vec3(centre->normal, {0, 0, -1});
    // 1.2 off the axis: the surface is sqrt(4 - 1.44) = 1.6 before the centre.
    const auto off_axis = tracer.nearest_hit(Ray{{1.2, 0, 0}, {0, 0, 1}});
    ASSERT_TRUE(off_axis);
    EXPECT_NEAR(off_axis->distance, 8.4, 1e-14);
    expect_vec3(off_axis->normal, {0.6, 0, -0.8}, 1e-14);
    EXPECT_FALSE(tracer.nearest_hit(Ray{{2.5, 0, 0}, {0, 0, 1}}));
}

TEST(SceneHits, FromInsideASphereTheFarSideFacesBack) {
    const Tracer tracer = tracer_of({object("ball", Sphere{{0, 0, 10}, 2})});
    const auto hit = tracer.nearest_hit(Ray{{0, 0, 10}, {0, 0, 1}});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->distance, 2.0);
    expect_vec3(hit->normal, {0, 0, -1});
    // Leaving the surface outward meets nothing: the start lies within its offset.
    EXPECT_FALSE(tracer.nearest_hit(Ray{{0, 0, 8}, {0, 0, -1}}));
    const auto through = tracer.nearest_hit(Ray{{0, 0, 8}, {0, 0, 1}});
    ASSERT_TRUE(through);
    EXPECT_EQ(through->distance, 4.0);
}

TEST(SceneHits, EachBoxFaceHasItsOwnNormal) {
    const Tracer tracer = tracer_of({object("box", Box{{-1, -2, -3}, {1, 2, 3}})});
    const Vec3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const double half[] = {1, 2, 3};
    for (int axis = 0; axis < 3; ++axis) {
        for (const double side : {-1.0, 1.0}) {
            const Vec3 outward = axes[axis] * side;
            const auto hit = tracer.nearest_hit(Ray{outward * 10.0, -outward});
            ASSERT_TRUE(hit) << axis << " " << side;
            EXPECT_EQ(hit->distance, 10.0 - half[axis]);
            expect_vec3(hit->normal, outward);
            expect_vec3(hit->point, outward * half[axis]);
        }
    }
}

TEST(SceneHits, BoxFromInsideAndBesides) {
    const Tracer tracer = tracer_of({object("box", Box{{-1, -1, -1}, {1, 1, 1}})});
    const auto out = tracer.nearest_hit(Ray{{0, 0, 0}, {1, 0, 0}});
    ASSERT_TRUE(out);
    EXPECT_EQ(out->distance, 1.0);
    expect_vec3(out->normal, {-1, 0, 0});
    EXPECT_FALSE(tracer.nearest_hit(Ray{{0, 2, -5}, {0, 0, 1}}));   // passes above
    EXPECT_FALSE(tracer.nearest_hit(Ray{{0, 0, -5}, {0, 0, -1}}));  // points away
    // Diagonal through an edge region: enters the x face at x = -1.
    const auto slanted = tracer.nearest_hit(Ray{{-3, 0, 0.5}, normalize({2, 0.5, 0})});
    ASSERT_TRUE(slanted);
    expect_vec3(slanted->normal, {-1, 0, 0});
    expect_vec3(slanted->point, {-1, 0.5, 0.5}, 1e-15);
}

TEST(SceneHits, ObjectsBehindTheOriginAreNotSeen) {
    const Tracer tracer = tracer_of({object("behind", Sphere{{0, 0, -10}, 1}),
                                     object("behind_box", Box{{-1, -1, -9}, {1, 1, -7}}),
                                     object("wall", Plane{{0, 0, -3}, {0, 0, 1}})});
    EXPECT_FALSE(tracer.nearest_hit(Ray{{0, 0, 0}, {0, 0, 1}}));
}

TEST(SceneHits, NearestOfTwoWinsWhateverTheOrder) {
    const SceneObject far = object("far", Sphere{{0, 0, 10}, 1});
    const SceneObject near = object("near", Sphere{{0, 0, 5}, 1});
    const Ray ray{{0, 0, 0}, {0, 0, 1}};
    const auto first = tracer_of({far, near}).nearest_hit(ray);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->object, 1);
    EXPECT_EQ(first->distance, 4.0);
    const auto second = tracer_of({near, far}).nearest_hit(ray);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->object, 0);
}

}  // namespace
