#include "host/render/scene_renderer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "host/core/point_light_renderer.h"
#include "host/scene/camera_rays.h"

namespace tmhost {

namespace {

struct SharedProgress {
    std::atomic<long> rows{0};
    std::atomic<long long> points{0};
    std::mutex mutex;
    std::condition_variable changed;
};

void shade_rows(const Tracer& tracer, const CameraRays& rays, const ShaderInstance& instance,
                int first_row, int row_step, Image& image, SharedProgress& shared) {
    const Scene& scene = tracer.scene();
    ShadingPoint point;
    long long points = 0;
    for (int y = first_row; y < image.height(); y += row_step) {
        for (int x = 0; x < image.width(); ++x) {
            float* pixel = image.pixel(x, y);
            const std::optional<Hit> hit = tracer.nearest_hit(rays.ray(x, y));
            if (!hit) {
                for (int c = 0; c < 3; ++c) pixel[c] = scene.background[c];
                continue;
            }
            const float p[3] = {static_cast<float>(hit->point.x), static_cast<float>(hit->point.y),
                                static_cast<float>(hit->point.z)};
            const float n[3] = {static_cast<float>(hit->normal.x),
                                static_cast<float>(hit->normal.y),
                                static_cast<float>(hit->normal.z)};
            // Reference 0 would tell the module that no light's object flags apply.
            point.set(p, n, hit->object, static_cast<uint32_t>(hit->object) + 1);
            float colour[3] = {0.0f, 0.0f, 0.0f};
            instance.shade(&point.input, colour);
            const Colour& base = scene.objects[static_cast<std::size_t>(hit->object)].colour;
            for (int c = 0; c < 3; ++c) pixel[c] = base[c] * colour[c];
            ++points;
        }
        shared.rows.fetch_add(1);
        shared.changed.notify_one();
    }
    shared.points.fetch_add(points);
}

}  // namespace

RenderStats render_scene(const Tracer& tracer, const std::vector<ShaderInstance*>& instances,
                         Image& image, ProgressBar& progress) {
    const CameraRays rays(tracer.scene().camera, image.width(), image.height());
    const int count = static_cast<int>(instances.size());
    SharedProgress shared;
    const auto start = std::chrono::steady_clock::now();

    std::vector<std::thread> threads;
    threads.reserve(instances.size());
    try {
        for (int t = 0; t < count; ++t) {
            threads.emplace_back(shade_rows, std::cref(tracer), std::cref(rays),
                                 std::cref(*instances[static_cast<std::size_t>(t)]), t, count,
                                 std::ref(image), std::ref(shared));
        }
    } catch (...) {
        // The threads that did start use this frame's state: they must end before it goes.
        for (std::thread& thread : threads) thread.join();
        throw;
    }
    {
        std::unique_lock<std::mutex> lock(shared.mutex);
        for (long done = 0; done < image.height();) {
            progress.show(done);
            shared.changed.wait_for(lock, std::chrono::milliseconds(100));
            done = shared.rows.load();
        }
    }
    for (std::thread& thread : threads) thread.join();
    progress.show(image.height());

    RenderStats stats;
    stats.points = shared.points.load();
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return stats;
}

}  // namespace tmhost
