// The bench's cases, registered with Google Benchmark by bench_main.
#ifndef TONEMIX_BENCH_CASES_H
#define TONEMIX_BENCH_CASES_H

#include <string>

namespace tmhost {
class ModuleSession;
}

namespace tonemix_bench {

// How many floors were checked against the module, and how many of them differ: a floor that
// differs does not make the module's draws or host calls, so its ratio means nothing.
struct FloorCheck {
    int cases = 0;
    int mismatches = 0;
};

// random/{uniform_signed,gauss_spread,gauss_centered}/{module,floor}: nanoseconds per draw.
void register_random_cases();
FloorCheck check_random_floors();

// Loads a built module file through c4d_main into a stand-in host, with its res/ folder beside it,
// and finds its shader record. False with `why` when it cannot.
bool start_module(const std::string& path, std::string& why);

// compute_output/s<samples>_l<lights>/<sampling>[_list][+sum]/{module,floor}: nanoseconds per
// shaded point. +sum: the floor also adds up each lit light's colour, the part of the shader's own
// work that no change to it can remove. Needs start_module.
void register_shading_cases();
FloorCheck check_shading_floors();

struct ShadingAllocations {
    long long calls = 0;        // compute_output calls made between prepare and release
    long long allocations = 0;  // general_alloc calls among them
};
ShadingAllocations shading_allocations();

// The module start_module loaded.
tmhost::ModuleSession& module_session();

// compute_output/s<samples>_l<lights>/scatter_gauss, 2 threads: ...: nanoseconds of wall time per
// shaded point of both threads together, on one shared node or on two nodes allocated back to
// back, each against two nodes far apart. Needs start_module.
void register_thread_cases();
// How far apart the last back-to-back pair's nodes lay, in bytes; -1 before one was made.
long thread_case_node_distance();

// Sends the end message and unloads the module. Every line the host reports as left behind.
std::string finish_module();

}  // namespace tonemix_bench

#endif
