// Light at a point: colour x intensity x falloff, and shadows, on scenes worked out by hand.
#include <gtest/gtest.h>

#include <limits>

#include "host/scene/light_falloff.h"
#include "host/scene/tracer.h"

namespace {

using namespace tmhost;

Light light_at(Vec3 position, Colour colour, float intensity, Falloff falloff = Falloff::none,
               double reference_distance = 1.0) {
    Light light;
    light.name = "light";
    light.position = position;
    light.colour = colour;
    light.intensity = intensity;
    light.falloff = falloff;
    light.reference_distance = reference_distance;
    return light;
}

Tracer scene_of(std::vector<Light> lights, std::vector<SceneObject> objects = {}) {
    Scene scene;
    scene.lights = std::move(lights);
    scene.objects = std::move(objects);
    return Tracer(std::move(scene));
}

struct Answer {
    bool lit;
    float rgb[3];
};

Answer ask(const Tracer& tracer, int light, Vec3 point, bool shadows = true) {
    const float at[3] = {static_cast<float>(point.x), static_cast<float>(point.y),
                         static_cast<float>(point.z)};
    Answer answer{false, {-1.0f, -1.0f, -1.0f}};
    answer.lit = tracer.illuminate(light, at, shadows, answer.rgb);
    return answer;
}

TEST(SceneFalloff, FormulasAtAndBeyondTheReferenceDistance) {
    EXPECT_EQ(falloff_factor(Falloff::none, 1.0, 1000.0), 1.0);
    EXPECT_EQ(falloff_factor(Falloff::linear, 2.0, 8.0), 0.25);
    EXPECT_EQ(falloff_factor(Falloff::inverse_square, 1.0, 2.0), 0.25);
    EXPECT_EQ(falloff_factor(Falloff::inverse_square, 3.0, 12.0), 0.0625);
    for (const Falloff falloff : {Falloff::linear, Falloff::inverse_square}) {
        EXPECT_EQ(falloff_factor(falloff, 2.0, 2.0), 1.0);
        EXPECT_EQ(falloff_factor(falloff, 2.0, 0.5), 1.0);
        EXPECT_EQ(falloff_factor(falloff, 2.0, 0.0), 1.0);
    }
}

TEST(SceneLight, WithoutFalloffColourTimesIntensityExactly) {
    const Colour colour{0.3f, 0.7f, 1.1f};
    const float intensity = 1.7f;
    const Tracer tracer = scene_of({light_at({1, 2, 3}, colour, intensity)});
    for (const Vec3 point : {Vec3{0, 0, 0}, Vec3{-250, 40, 1e4}, Vec3{1, 2, 3}}) {
        const Answer answer = ask(tracer, 0, point);
        EXPECT_TRUE(answer.lit);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(answer.rgb[c], colour[c] * intensity) << c;
    }
}

TEST(SceneLight, BeyondTheFloatRangeIsInfinite) {
    const Tracer tracer = scene_of({light_at({0, 0, 0}, {3e38f, -3e38f, 1}, 2.0f)});
    const Answer answer = ask(tracer, 0, {0, 1, 0});
    EXPECT_EQ(answer.rgb[0], std::numeric_limits<float>::infinity());
    EXPECT_EQ(answer.rgb[1], -std::numeric_limits<float>::infinity());
    EXPECT_EQ(answer.rgb[2], 2.0f);
}

TEST(SceneLight, InverseSquareAtDistanceTwo) {
    const Tracer tracer =
        scene_of({light_at({0, 2, 0}, {1.0f, 0.5f, 0.25f}, 2.0f, Falloff::inverse_square, 1.0)});
    const Answer answer = ask(tracer, 0, {0, 0, 0});
    EXPECT_TRUE(answer.lit);
    EXPECT_EQ(answer.rgb[0], 0.5f);
    EXPECT_EQ(answer.rgb[1], 0.25f);
    EXPECT_EQ(answer.rgb[2], 0.125f);
}

TEST(SceneLight, NothingBeyondTheRange) {
    // 3-4-5: the point at distance 5 is lit up to a range of 5 and not past it.
    Light light = light_at({3, 4, 0}, {1, 1, 1}, 1.0f);
    light.range = 5.0;
    const Tracer tracer = scene_of({light});
    EXPECT_TRUE(ask(tracer, 0, {0, 0, 0}).lit);
    const Answer beyond = ask(tracer, 0, {-0.5, 0, 0});
    EXPECT_FALSE(beyond.lit);
    EXPECT_EQ(beyond.rgb[0], 0.0f);
}

TEST(SceneLight, LinearAndWithinReference) {
    const Tracer tracer =
        scene_of({light_at({3, 0, 0}, {1, 1, 1}, 1.0f, Falloff::linear, 1.5),
                  light_at({0, 0, 0}, {0.5f, 0.5f, 0.5f}, 3.0f, Falloff::inverse_square, 1.0)});
    EXPECT_EQ(ask(tracer, 0, {-3, 0, 0}).rgb[0], 0.25f);  // 1.5 / 6
    EXPECT_EQ(ask(tracer, 1, {0, 0.5, 0}).rgb[1], 1.5f);  // inside the reference distance
    const Answer at_light = ask(tracer, 1, {0, 0, 0});    // finite at the light itself
    EXPECT_TRUE(at_light.lit);
    EXPECT_EQ(at_light.rgb[2], 1.5f);
}

TEST(SceneShadows, SphereBetweenPointAndLightBlocksOnlyWhenAsked) {
    std::vector<SceneObject> blocker{SceneObject{"ball", Sphere{{0, 2, 0}, 0.5}, {1, 1, 1}}};
    Light casting = light_at({0, 4, 0}, {1, 1, 1}, 1.0f);
    Light not_casting = casting;
    not_casting.shadows = false;
    const Tracer tracer = scene_of({casting, not_casting}, blocker);

    const Answer blocked = ask(tracer, 0, {0, 0, 0}, true);
    EXPECT_FALSE(blocked.lit);
    EXPECT_EQ(blocked.rgb[0], 0.0f);
    EXPECT_EQ(blocked.rgb[1], 0.0f);
    EXPECT_EQ(blocked.rgb[2], 0.0f);
    EXPECT_TRUE(ask(tracer, 0, {0, 0, 0}, false).lit);  // the query asks for no shadows
    EXPECT_TRUE(ask(tracer, 1, {0, 0, 0}, true).lit);   // the light casts none
    EXPECT_TRUE(ask(tracer, 0, {3, 0, 0}, true).lit);   // the sphere is off the segment
    EXPECT_TRUE(ask(tracer, 0, {0, 3, 0}, true).lit);   // between sphere and light
}

TEST(SceneShadows, ObjectsBeyondTheLightOrBehindThePointDoNotBlock) {
    const Tracer tracer = scene_of({light_at({0, 4, 0}, {1, 1, 1}, 1.0f)},
                                   {SceneObject{"above", Sphere{{0, 6, 0}, 1}, {1, 1, 1}},
                                    SceneObject{"below", Box{{-1, -3, -1}, {1, -1, 1}}, {}}});
    EXPECT_TRUE(ask(tracer, 0, {0, 0, 0}).lit);
}

TEST(SceneShadows, SurfacePointsDoNotShadowThemselves) {
    const Tracer tracer = scene_of({light_at({1, 5, 2}, {1, 1, 1}, 1.0f)},
                                   {SceneObject{"ground", Plane{{0, 0, 0}, {0, 1, 0}}, {}},
                                    SceneObject{"ball", Sphere{{-3, 1, 0}, 1}, {}},
                                    SceneObject{"box", Box{{2, 0, -4}, {3, 1, -3}}, {}}});
    EXPECT_TRUE(ask(tracer, 0, {0, 0, 0}).lit);          // on the ground
    EXPECT_TRUE(ask(tracer, 0, {-3, 2, 0}).lit);         // top of the ball
    EXPECT_TRUE(ask(tracer, 0, {2.5, 1, -3.5}).lit);     // top of the box
    EXPECT_FALSE(ask(tracer, 0, {0, -0.01, 0}).lit);     // just below the ground
    EXPECT_FALSE(ask(tracer, 0, {-3, 1, 0}).lit);        // inside the ball
    EXPECT_FALSE(ask(tracer, 0, {2.5, 0.5, -3.5}).lit);  // inside the box
}

TEST(SceneShadows, LightInsideABoxLightsOnlyTheInside) {
    const Tracer tracer = scene_of({light_at({0, 0, 0}, {1, 1, 1}, 1.0f)},
                                   {SceneObject{"lantern", Box{{-1, -1, -1}, {1, 1, 1}}, {}}});
    EXPECT_TRUE(ask(tracer, 0, {0.5, 0.5, 0.5}).lit);
    EXPECT_FALSE(ask(tracer, 0, {2, 0, 0}).lit);
}

TEST(SceneLight, NoLightForBadIndexOrPoint) {
    const Tracer tracer = scene_of({light_at({0, 1, 0}, {1, 1, 1}, 1.0f)});
    for (const int index : {-1, 1, 1000}) {
        const Answer answer = ask(tracer, index, {0, 0, 0});
        EXPECT_FALSE(answer.lit) << index;
        EXPECT_EQ(answer.rgb[0], 0.0f);
        EXPECT_EQ(answer.rgb[2], 0.0f);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(ask(tracer, 0, {nan, 0, 0}).lit);
    EXPECT_FALSE(ask(tracer, 0, {0, std::numeric_limits<double>::infinity(), 0}).lit);
}

}  // namespace
