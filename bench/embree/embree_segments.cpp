// tonemix_embree_segments FOLDER [ROUNDS]: reads FOLDER/geometry.bin and FOLDER/segments.bin (as
// tonemix_shadow_segments writes them), builds an Embree scene of the same shapes with its
// default settings, and traces every segment with rtcOccluded1. Prints one line:
//   "primitives P segments N blocked B agree A build_ns T segment_ns S"
// A the segments on which Embree's answer is the host tracer's (Embree works in float, the host
// in double: a few segments that graze an edge may differ), T the fastest commit of the scene
// over ROUNDS (default 5), S the fastest pass over all segments in ns a segment.
#include <embree3/rtcore.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Reader {
    explicit Reader(const std::string& path) : file(std::fopen(path.c_str(), "rb")) {
        if (!file) throw std::runtime_error("cannot read " + path);
    }
    ~Reader() { std::fclose(file); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    template <typename T>
    T get() {
        T value;
        if (std::fread(&value, sizeof value, 1, file) != 1) throw std::runtime_error("file ends");
        return value;
    }
    float single() { return static_cast<float>(get<double>()); }

    std::FILE* file;
};

struct Geometry {
    std::vector<float> vertices;  // three corners a triangle, x y z each
    std::vector<float> spheres;   // x y z radius
};

struct Segment {
    float origin[3];
    float direction[3];
    float near;
    float far;
    bool blocked;
};

Geometry read_geometry(const std::string& path) {
    Reader in(path);
    const auto triangles = in.get<std::uint32_t>();
    const auto spheres = in.get<std::uint32_t>();
    Geometry g;
    g.vertices.resize(static_cast<std::size_t>(triangles) * 9);
    for (float& v : g.vertices) v = in.single();
    g.spheres.resize(static_cast<std::size_t>(spheres) * 4);
    for (float& v : g.spheres) v = in.single();
    return g;
}

std::vector<Segment> read_segments(const std::string& path) {
    Reader in(path);
    std::vector<Segment> segments(in.get<std::uint32_t>());
    for (Segment& s : segments) {
        for (float& v : s.origin) v = in.single();
        for (float& v : s.direction) v = in.single();
        s.near = in.single();
        s.far = in.single();
        s.blocked = in.get<std::uint32_t>() != 0;
    }
    return segments;
}

RTCScene make_scene(RTCDevice device, const Geometry& g) {
    RTCScene scene = rtcNewScene(device);
    const std::size_t triangles = g.vertices.size() / 9;
    if (triangles > 0) {
        RTCGeometry mesh = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
        auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(
            mesh, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), triangles * 3));
        auto* indices = static_cast<unsigned*>(rtcSetNewGeometryBuffer(
            mesh, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), triangles));
        std::copy(g.vertices.begin(), g.vertices.end(), vertices);
        for (std::size_t i = 0; i < triangles * 3; ++i) indices[i] = static_cast<unsigned>(i);
        rtcCommitGeometry(mesh);
        rtcAttachGeometry(scene, mesh);
        rtcReleaseGeometry(mesh);
    }
    const std::size_t spheres = g.spheres.size() / 4;
    if (spheres > 0) {
        RTCGeometry points = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_SPHERE_POINT);
        auto* data = static_cast<float*>(rtcSetNewGeometryBuffer(
            points, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT4, 4 * sizeof(float), spheres));
        std::copy(g.spheres.begin(), g.spheres.end(), data);
        rtcCommitGeometry(points);
        rtcAttachGeometry(scene, points);
        rtcReleaseGeometry(points);
    }
    return scene;
}

double nanoseconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: tonemix_embree_segments FOLDER [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    try {
        const std::string folder = argv[1];
        const Geometry geometry = read_geometry(folder + "/geometry.bin");
        const std::vector<Segment> segments = read_segments(folder + "/segments.bin");
        // One thread, as the host's side runs: Embree's builder would use every core.
        RTCDevice device = rtcNewDevice("threads=1");
        if (!device) throw std::runtime_error("rtcNewDevice failed");
        double build = std::numeric_limits<double>::infinity();
        RTCScene scene = nullptr;
        for (int i = 0; i < rounds; ++i) {
            if (scene) rtcReleaseScene(scene);
            scene = make_scene(device, geometry);
            const auto start = std::chrono::steady_clock::now();
            rtcCommitScene(scene);
            build = std::min(build, nanoseconds_since(start));
        }
        long blocked = 0;
        long agree = 0;
        double fastest = std::numeric_limits<double>::infinity();
        for (int i = 0; i < rounds; ++i) {
            long hits = 0;
            long same = 0;
            const auto start = std::chrono::steady_clock::now();
            for (const Segment& s : segments) {
                RTCIntersectContext context;
                rtcInitIntersectContext(&context);
                RTCRay ray;
                ray.org_x = s.origin[0];
                ray.org_y = s.origin[1];
                ray.org_z = s.origin[2];
                ray.dir_x = s.direction[0];
                ray.dir_y = s.direction[1];
                ray.dir_z = s.direction[2];
                ray.tnear = s.near;
                ray.tfar = s.far;
                ray.time = 0.0f;
                ray.mask = 0xffffffffu;
                ray.id = 0;
                ray.flags = 0;
                rtcOccluded1(scene, &context, &ray);
                // An occluded ray comes back with tfar set to minus infinity.
                const bool occluded = ray.tfar < 0.0f;
                hits += occluded;
                same += occluded == s.blocked;
            }
            fastest = std::min(fastest, nanoseconds_since(start));
            blocked = hits;
            agree = same;
        }
        std::printf(
            "primitives %zu segments %zu blocked %ld agree %ld build_ns %.0f "
            "segment_ns %.2f\n",
            geometry.vertices.size() / 9 + geometry.spheres.size() / 4, segments.size(), blocked,
            agree, build, fastest / static_cast<double>(segments.size()));
        rtcReleaseScene(scene);
        rtcReleaseDevice(device);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tonemix_embree_segments: %s\n", error.what());
        return 1;
    }
    return 0;
}
