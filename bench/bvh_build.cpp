// tonemix_bvh_build SCENE [REPEATS]: loads a scene file, builds its tracer REPEATS times (default
// 5) and prints one line: "primitives P nodes N depth D bytes B build_ns T", T the fastest build.
// scripts/bench puts the figures into bench/RESULTS.md. The scene is loaded once, outside the
// timing: what is measured is the tree alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>

#include "host/scene/scene_parser.h"
#include "host/scene/tracer.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: tonemix_bvh_build SCENE [REPEATS]\n");
        return 2;
    }
    const int repeats = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    try {
        const tmhost::Scene scene = tmhost::load_scene_file(argv[1]);
        double fastest = std::numeric_limits<double>::infinity();
        std::size_t primitives = 0, nodes = 0, bytes = 0;
        int depth = 0;
        for (int i = 0; i < repeats; ++i) {
            tmhost::Scene copy = scene;  // shares the meshes' triangles: only the tree is built
            const auto start = std::chrono::steady_clock::now();
            const tmhost::Tracer tracer(std::move(copy));
            const std::chrono::duration<double, std::nano> took =
                std::chrono::steady_clock::now() - start;
            fastest = std::min(fastest, took.count());
            primitives = tracer.bvh().primitives().size();
            nodes = tracer.bvh().nodes().size();
            bytes = tracer.bvh().memory_bytes();
            depth = tracer.bvh().depth();
        }
        std::printf("primitives %zu nodes %zu depth %d bytes %zu build_ns %.0f\n", primitives,
                    nodes, depth, bytes, fastest);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tonemix_bvh_build: %s\n", error.what());
        return 1;
    }
    return 0;
}
