// tonemix_shadow_segments SCENE [ROUNDS] [OUT]: the tracer's shadow segments timed as a render asks
// for them. Camera rays at 160x120 find the visible points; around each, eight sample points are
// placed by a fixed rule (as the shader places its points: an offset along the normal and a
// scatter, rounded to floats) and every light is asked for its light with shadows on. Prints one
// line:
//   "primitives P segments N blocked B build_ns T segment_ns S"
// T the fastest build of the tracer over ROUNDS (default 5), S the fastest pass over all the
// segments, in ns a segment. With OUT, writes OUT/geometry.bin and OUT/segments.bin for
// bench/embree, which traces the same segments on the same shapes (see bench/embree/README.md
// for the layout of both files).
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/scene/camera_rays.h"
#include "host/scene/ray_offset.h"
#include "host/scene/scene_parser.h"
#include "host/scene/tracer.h"

namespace {

using namespace tmhost;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kSamples = 8;
constexpr double kNormalOffset = 0.02;
constexpr double kScatter = 0.3;
// Half the side of the square that stands for an infinite plane in the other program: far beyond
// every segment of the bench scenes.
constexpr double kPlaneHalfSide = 1000.0;

// A fixed generator of its own, so both programs and every machine get the same points.
class Numbers {
public:
    double uniform(double low, double high) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return low + (high - low) * (static_cast<double>(state_ >> 11) * 0x1p-53);
    }

private:
    std::uint64_t state_ = 0x2545f4914f6cdd1dULL;
};

struct Segment {
    float point[3];
    int light;
};

std::vector<Segment> shadow_segments(const Tracer& tracer) {
    const Scene& scene = tracer.scene();
    const CameraRays camera(scene.camera, kWidth, kHeight);
    Numbers numbers;
    std::vector<Segment> segments;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const auto hit = tracer.nearest_hit(camera.ray(x, y));
            if (!hit) continue;
            for (int s = 0; s < kSamples; ++s) {
                const Vec3 scatter{numbers.uniform(-kScatter, kScatter),
                                   numbers.uniform(-kScatter, kScatter),
                                   numbers.uniform(-kScatter, kScatter)};
                const Vec3 p = hit->point + hit->normal * kNormalOffset + scatter;
                for (int light = 0; light < static_cast<int>(scene.lights.size()); ++light) {
                    segments.push_back({{static_cast<float>(p.x), static_cast<float>(p.y),
                                         static_cast<float>(p.z)},
                                        light});
                }
            }
        }
    }
    return segments;
}

void put(std::FILE* file, const void* data, std::size_t bytes) {
    if (std::fwrite(data, 1, bytes, file) != bytes) throw std::runtime_error("write failed");
}
void put_double(std::FILE* file, double value) { put(file, &value, sizeof value); }
void put_point(std::FILE* file, const Vec3& p) {
    put_double(file, p.x);
    put_double(file, p.y);
    put_double(file, p.z);
}
void put_u32(std::FILE* file, std::uint32_t value) { put(file, &value, sizeof value); }

struct File {
    explicit File(const std::string& path) : file(std::fopen(path.c_str(), "wb")) {
        if (!file) throw std::runtime_error("cannot write " + path);
    }
    ~File() {
        if (file) std::fclose(file);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* file;
};

// Triangles (three corners each) and spheres (centre, radius); a box is its twelve triangles, a
// plane a large square of two.
void write_geometry(const Scene& scene, const std::string& path) {
    std::vector<std::array<Vec3, 3>> triangles;
    std::vector<std::pair<Vec3, double>> spheres;
    for (const SceneObject& object : scene.objects) {
        if (const auto* sphere = std::get_if<Sphere>(&object.shape)) {
            spheres.emplace_back(sphere->center, sphere->radius);
        } else if (const auto* mesh = std::get_if<Mesh>(&object.shape)) {
            for (const MeshTriangle& t : mesh->data->triangles) {
                triangles.push_back({t.corner, t.corner + t.edge1, t.corner + t.edge2});
            }
        } else if (const auto* plane = std::get_if<Plane>(&object.shape)) {
            const Vec3 n = plane->normal;
            const Vec3 helper = std::fabs(n.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
            const Vec3 u = normalize(cross(n, helper)) * kPlaneHalfSide;
            const Vec3 v = normalize(cross(n, u)) * kPlaneHalfSide;
            const Vec3 c = plane->point;
            triangles.push_back({c - u - v, c + u - v, c + u + v});
            triangles.push_back({c - u - v, c + u + v, c - u + v});
        } else if (const auto* box = std::get_if<Box>(&object.shape)) {
            Vec3 corner[8];
            for (int i = 0; i < 8; ++i) {
                corner[i] = {i & 1 ? box->max.x : box->min.x, i & 2 ? box->max.y : box->min.y,
                             i & 4 ? box->max.z : box->min.z};
            }
            const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
            for (const auto& f : faces) {
                triangles.push_back({corner[f[0]], corner[f[1]], corner[f[2]]});
                triangles.push_back({corner[f[0]], corner[f[2]], corner[f[3]]});
            }
        }
    }
    const File out(path);
    put_u32(out.file, static_cast<std::uint32_t>(triangles.size()));
    put_u32(out.file, static_cast<std::uint32_t>(spheres.size()));
    for (const auto& t : triangles) {
        for (const Vec3& p : t) put_point(out.file, p);
    }
    for (const auto& s : spheres) {
        put_point(out.file, s.first);
        put_double(out.file, s.second);
    }
}

// Each segment as the tracer takes it: origin, unit direction, the near and far ends of the part
// that counts, and the tracer's answer (1 blocked, 0 not).
void write_segments(const Tracer& tracer, const std::vector<Segment>& segments,
                    const std::string& path) {
    const File out(path);
    put_u32(out.file, static_cast<std::uint32_t>(segments.size()));
    for (const Segment& s : segments) {
        const Vec3 from{s.point[0], s.point[1], s.point[2]};
        const Vec3 span = tracer.scene().lights[static_cast<std::size_t>(s.light)].position - from;
        const double distance = length(span);
        put_point(out.file, from);
        put_point(out.file, span * (1.0 / distance));
        put_double(out.file, start_offset(from));
        put_double(out.file, distance - end_offset(from + span, distance));
        const std::uint32_t blocked = tracer.segment_blocked(from, span, distance) ? 1 : 0;
        put_u32(out.file, blocked);
    }
}

double nanoseconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: tonemix_shadow_segments SCENE [ROUNDS] [OUT]\n");
        return 2;
    }
    const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 5;
    try {
        const Scene scene = load_scene_file(argv[1]);
        double build = std::numeric_limits<double>::infinity();
        for (int i = 0; i < rounds; ++i) {
            Scene copy = scene;  // shares the meshes' triangles: only the tree is built
            const auto start = std::chrono::steady_clock::now();
            const Tracer built(std::move(copy));
            build = std::min(build, nanoseconds_since(start));
        }
        const Tracer tracer(scene);
        const std::vector<Segment> segments = shadow_segments(tracer);
        if (segments.empty()) throw std::runtime_error("the camera sees nothing lit");
        long blocked = 0;
        double fastest = std::numeric_limits<double>::infinity();
        for (int i = 0; i < rounds; ++i) {
            long lit = 0;
            const auto start = std::chrono::steady_clock::now();
            for (const Segment& s : segments) {
                float colour[3];
                lit += tracer.illuminate(s.light, s.point, true, colour) ? 1 : 0;
            }
            fastest = std::min(fastest, nanoseconds_since(start));
            blocked = static_cast<long>(segments.size()) - lit;
        }
        if (argc == 4) {
            write_geometry(scene, std::string(argv[3]) + "/geometry.bin");
            write_segments(tracer, segments, std::string(argv[3]) + "/segments.bin");
        }
        std::printf("primitives %zu segments %zu blocked %ld build_ns %.0f segment_ns %.2f\n",
                    tracer.bvh().primitives().size(), segments.size(), blocked, build,
                    fastest / static_cast<double>(segments.size()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tonemix_shadow_segments: %s\n", error.what());
        return 1;
    }
    return 0;
}
