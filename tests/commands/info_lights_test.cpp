// The light sources the commands shade with where no scene gives lights: answers worked out by
// hand.
#include <gtest/gtest.h>

#include "constant_light_source.h"
#include "host/commands/info_lights.h"

namespace {

TEST(SimpleLightSources, ConstantAndFalloffAnswersWorkedOutByHand) {
    tonemix_test::ConstantLightSource constant(
        {{{0.5f, 0.25f, 1.0f}, 2.0f, false}, {{1.0f, 1.0f, 1.0f}, 1.0f, true}});
    const float point[3] = {100.0f, 0.0f, 0.0f};
    float colour[3] = {};
    EXPECT_TRUE(constant.illuminate(0, point, true, colour));
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 0.5f);
    EXPECT_EQ(colour[2], 2.0f);
    EXPECT_TRUE(constant.illuminate(1, point, false, colour));
    EXPECT_FALSE(constant.illuminate(1, point, true, colour));  // shadowed
    EXPECT_FALSE(constant.illuminate(2, point, false, colour));

    tmhost::FalloffLightSource falloff({{{0.0f, 3.0f, 4.0f}, {1.0f, 0.5f, 0.25f}, 52.0f}});
    const float origin[3] = {};
    EXPECT_TRUE(falloff.illuminate(0, origin, false, colour));
    EXPECT_EQ(colour[0], 2.0f);  // 52 / (1 + 25)
    EXPECT_EQ(colour[1], 1.0f);
    EXPECT_EQ(colour[2], 0.5f);
}

}  // namespace
