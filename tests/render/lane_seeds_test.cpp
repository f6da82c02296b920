// The seeds of a render's lanes: the mixing function against values worked out apart from it
// (murmur3's finaliser by hand), and the seed a lane's container ends up holding.
#include <cstdint>
#include <set>

#include <gtest/gtest.h>

#include "host/core/container_store.h"
#include "host/core/description.h"
#include "host/render/lane_seeds.h"
#include "host/render/scene_source.h"

namespace {

using tmhost::lane_seed;
using tmhost::mix_lane_seed;

constexpr int32_t kSeedId = 2000;
constexpr int32_t kDefaultSeed = 23082003;  // the module's default TONEMIX_SEED

const char* const kDescription = R"({
  "name": "Xtest",
  "parameters": [
    { "id": 1008, "name": "TONEMIX_SAMPLES", "type": "long", "default": 8 },
    { "id": 2000, "name": "TONEMIX_SEED", "type": "long", "default": 23082003 }
  ]
})";

TEST(LaneSeeds, TheMixingFunctionGivesItsPinnedValues) {
    // Lane 0 is the bare finaliser: fmix32(1) is murmur3's well-known 0x514e28b7, and 0 stays 0.
    EXPECT_EQ(mix_lane_seed(1u, 0u), 0x514E28B7u);
    EXPECT_EQ(mix_lane_seed(0u, 0u), 0u);
    EXPECT_EQ(mix_lane_seed(0u, 1u), 0x92CA2F0Eu);
    EXPECT_EQ(mix_lane_seed(1u, 1u), 0x36DEB503u);
    EXPECT_EQ(mix_lane_seed(0xFFFFFFFFu, 5u), 0xF3806DBAu);
    EXPECT_EQ(mix_lane_seed(23082003u, 1u), 0xD8D0CF25u);
    EXPECT_EQ(mix_lane_seed(23082003u, 2u), 0xC1B609FDu);
    EXPECT_EQ(mix_lane_seed(23082003u, 63u), 0xA500EB3Eu);
    // As the signed long the container holds.
    EXPECT_EQ(lane_seed(kDefaultSeed, 1), -657404123);
    EXPECT_EQ(lane_seed(kDefaultSeed, 63), -1526666434);
}

TEST(LaneSeeds, LaneZeroKeepsTheScenesSeedAndEveryOtherLaneHasItsOwn) {
    for (const int32_t seed : {kDefaultSeed, 0, 1, -1, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(seed);
        EXPECT_EQ(lane_seed(seed, 0), seed);
        std::set<int32_t> seen{seed};
        // The module's stream drops the seed's top bit: lanes must differ in the other 31.
        std::set<int32_t> low_bits{seed & 0x7FFFFFFF};
        for (int lane = 1; lane < tmhost::kMaxLanes; ++lane) {
            EXPECT_TRUE(seen.insert(lane_seed(seed, lane)).second) << "lane " << lane;
            EXPECT_TRUE(low_bits.insert(lane_seed(seed, lane) & 0x7FFFFFFF).second)
                << "lane " << lane;
        }
    }
}

TEST(LaneSeeds, ALanesContainerGetsItsSeedFromTheSeedItHolds) {
    const tmhost::Description sheet = tmhost::Description::read(kDescription);
    tmhost::Container container;
    container.set_long(1008, 4);
    container.set_long(kSeedId, 7);  // as the scene or --set left it
    tmhost::seed_lane(sheet, 0, container);
    EXPECT_EQ(container.get_long(kSeedId), 7);
    tmhost::seed_lane(sheet, 1, container);
    EXPECT_EQ(container.get_long(kSeedId), static_cast<int32_t>(0x582531C1u));
    EXPECT_EQ(container.get_long(1008), 4) << "other values stay";
    EXPECT_EQ(container.size(), 2u);
}

TEST(LaneSeeds, AShaderWithoutASeedKeepsItsContainerAsItIs) {
    const tmhost::Description sheet = tmhost::Description::read(R"({
          "name": "Xtest",
          "parameters": [ { "id": 2000, "name": "TONEMIX_OTHER", "type": "long" } ] })");
    tmhost::Container container;
    container.set_long(kSeedId, 7);
    tmhost::seed_lane(sheet, 3, container);
    EXPECT_EQ(container.get_long(kSeedId), 7);
}

}  // namespace
