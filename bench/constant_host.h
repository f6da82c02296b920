// A renderer and a light list that answer at once, so that what a benchmark measures is the
// module's own work between the host calls.
//
// Installed into a StandInHost's writable tables: the render sub-table's light_count, get_light
// and illuminate, and the list library's listlib_contains. Every light is lit with one constant
// colour and is never in the list. The counting variants do the same and count their calls, for
// checking that a floor makes the calls the module makes.
#ifndef TONEMIX_BENCH_CONSTANT_HOST_H
#define TONEMIX_BENCH_CONSTANT_HOST_H

#include <cstdint>

#include "host/core/stand_in_host.h"
#include "host_api.h"

namespace tonemix_bench {

constexpr int32_t kMaxLights = 16;

struct CallCounts {
    long light_count = 0;
    long get_light = 0;
    long contains = 0;
    long illuminate = 0;

    bool operator==(const CallCounts& other) const {
        return light_count == other.light_count && get_light == other.get_light &&
               contains == other.contains && illuminate == other.illuminate;
    }
};

// The number of lights light_count answers, 0 .. kMaxLights; get_light answers their records.
void set_light_count(int32_t count);

// Replaces the four slots; restore with host.restore() and
// host.list_library().restore_table().
void install_constant_slots(tmhost::StandInHost& host, bool counting);

CallCounts& call_counts();

}  // namespace tonemix_bench

#endif
