// The random seeds of a render's lanes. A lane shades its rows with a node of its own, and every
// node's stream carries on from point to point; lanes started at one seed would repeat each
// other's draws row after row, which shows as streaks. Each lane's seed is therefore the scene's
// seed mixed with the lane's index, and lane 0 keeps the scene's seed, so one lane gives the
// image that a single node shading every row gives.
#ifndef TMHOST_LANE_SEEDS_H
#define TMHOST_LANE_SEEDS_H

#include <cstdint>

namespace tmhost {

constexpr int kMaxLanes = 64;
constexpr int kDefaultLanes = 64;

// The seed scattered by the lane's index times 2^32 / golden ratio, then murmur3's 32-bit
// finaliser. Both steps are one-to-one for a fixed seed, so no two mixed lanes share a seed;
// the finaliser spreads neighbouring lanes across the whole range of the module's stream.
constexpr uint32_t mix_lane_seed(uint32_t seed, uint32_t lane) {
    uint32_t h = seed ^ (lane * 0x9E3779B9u);
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// The TONEMIX_SEED of lane `lane` (0 .. kMaxLanes - 1): the scene's seed for lane 0, mixed
// for every other lane.
constexpr int32_t lane_seed(int32_t scene_seed, int lane) {
    if (lane == 0) return scene_seed;
    return static_cast<int32_t>(
        mix_lane_seed(static_cast<uint32_t>(scene_seed), static_cast<uint32_t>(lane)));
}

}  // namespace tmhost

#endif
