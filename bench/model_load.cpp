// tonemix_model_load FOLDER [SIDE] [REPEATS]: writes one generated mesh (a rolling surface of
// SIDE x SIDE vertices, default 708: 999,698 triangles) into FOLDER as OBJ, binary PLY, binary
// STL and glb, reads each REPEATS times (default 3) as a scene's mesh object reads it, and prints
// one line: "triangles T obj_ns A ply_ns B stl_ns C glb_ns D", each the fastest read and build.
// scripts/bench puts the figures into bench/RESULTS.md, per million triangles.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <limits>
#include <string>

#include "host/scene/mesh_file.h"
#include "model_writers.h"

namespace {

tonemix_test::TestMesh surface(int side) {
    tonemix_test::TestMesh mesh;
    for (int z = 0; z < side; ++z) {
        for (int x = 0; x < side; ++x) {
            const float height =
                0.05f * static_cast<float>(std::sin(x * 0.11) * std::cos(z * 0.07));
            mesh.positions.push_back(
                {static_cast<float>(x) / side, height, static_cast<float>(z) / side});
        }
    }
    for (int z = 0; z + 1 < side; ++z) {
        for (int x = 0; x + 1 < side; ++x) {
            const int at = z * side + x;
            mesh.triangles.push_back({at, at + side, at + 1});
            mesh.triangles.push_back({at + 1, at + side, at + side + 1});
        }
    }
    return mesh;
}

double fastest_read(const std::string& path, int repeats, std::size_t& triangles) {
    double fastest = std::numeric_limits<double>::infinity();
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const tmhost::MeshFile file = tmhost::load_mesh_file(path, {}, tmhost::kMaxSceneTriangles);
        const std::chrono::duration<double, std::nano> took =
            std::chrono::steady_clock::now() - start;
        fastest = std::min(fastest, took.count());
        triangles = file.mesh.data->triangles.size();
    }
    return fastest;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: tonemix_model_load FOLDER [SIDE] [REPEATS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int side = argc >= 3 ? std::max(2, std::atoi(argv[2])) : 708;
    const int repeats = argc == 4 ? std::max(1, std::atoi(argv[3])) : 3;
    try {
        const tonemix_test::TestMesh mesh = surface(side);
        const struct {
            const char* name;
            std::string bytes;
        } files[] = {
            {"surface.obj", tonemix_test::obj_text(mesh)},
            {"surface.ply", tonemix_test::ply_bytes(mesh, tonemix_test::PlyFormat::little_endian)},
            {"surface.stl", tonemix_test::stl_bytes(mesh)},
            {"surface.glb", tonemix_test::glb_bytes(mesh)},
        };
        std::size_t triangles = 0;
        std::printf("triangles %zu", mesh.triangles.size());
        const char* const labels[] = {"obj_ns", "ply_ns", "stl_ns", "glb_ns"};
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string path = folder + "/" + files[i].name;
            std::ofstream(path, std::ios::binary) << files[i].bytes;
            const double ns = fastest_read(path, repeats, triangles);
            if (triangles != mesh.triangles.size()) {
                std::fprintf(stderr, "tonemix_model_load: %s holds %zu triangles, not %zu\n",
                             files[i].name, triangles, mesh.triangles.size());
                return 1;
            }
            std::printf(" %s %.0f", labels[i], ns);
        }
        std::printf("\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tonemix_model_load: %s\n", error.what());
        return 1;
    }
    return 0;
}
