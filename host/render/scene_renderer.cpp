#include "host/render/scene_renderer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "host/core/point_light_renderer.h"
#include "host/loading/signal_stack.h"
#include "host/render/pixel_samples.h"
#include "host/scene/camera_rays.h"

namespace tmhost {

namespace {

constexpr std::chrono::milliseconds kProgressInterval(100);

struct SharedProgress {
    std::atomic<int> next_job{0};
    std::atomic<long> rows{0};
    std::atomic<long long> points{0};
    std::atomic<long long> lit_points{0};
    RenderWatch* watch = nullptr;
    // Threads that have taken their last job, counted and signalled under the mutex, so that
    // the end of the last one cannot fall between the waiter's look and its wait. Rows are not
    // counted under it: a lock taken after every row would order every thread's calls of the
    // module after the others', and hide a race in the module from a race checker.
    std::mutex mutex;
    std::condition_variable changed;
    int finished = 0;
};

// The colour of one camera ray: the nearest hit's object colour times the shader's colour, or
// the background. Counts the point when the module shaded one.
void shade_ray(const Tracer& tracer, const Ray& ray, const ShaderInstance& instance,
               ShadingPoint& point, float* rgb, long long& points) {
    const Scene& scene = tracer.scene();
    const std::optional<Hit> hit = tracer.nearest_hit(ray);
    if (!hit) {
        for (int c = 0; c < 3; ++c) rgb[c] = scene.background[c];
        return;
    }
    const float p[3] = {static_cast<float>(hit->point.x), static_cast<float>(hit->point.y),
                        static_cast<float>(hit->point.z)};
    const float n[3] = {static_cast<float>(hit->normal.x), static_cast<float>(hit->normal.y),
                        static_cast<float>(hit->normal.z)};
    // Reference 0 would tell the module that no light's object flags apply.
    point.set(p, n, hit->object, static_cast<uint32_t>(hit->object) + 1);
    float colour[3] = {0.0f, 0.0f, 0.0f};
    instance.shade(&point.input, colour);
    const Colour& base = scene.objects[static_cast<std::size_t>(hit->object)].colour;
    for (int c = 0; c < 3; ++c) rgb[c] = base[c] * hit->tint[c] * colour[c];
    ++points;
}

// Shades row y, each pixel by `pixel_samples` rays whose colours are averaged (one: the centre's
// colour itself); counts the points shaded and the pixels that are not black.
void shade_row(const Tracer& tracer, const CameraRays& rays, const ShaderInstance& instance, int y,
               int pixel_samples, Image& image, long long& points, long long& lit_points) {
    ShadingPoint point;
    for (int x = 0; x < image.width(); ++x) {
        float* pixel = image.pixel(x, y);
        if (pixel_samples == 1) {
            shade_ray(tracer, rays.ray(x, y), instance, point, pixel, points);
        } else {
            float sum[3] = {0.0f, 0.0f, 0.0f};
            for (int i = 0; i < pixel_samples; ++i) {
                const PixelPlace place = pixel_place(x, y, i, pixel_samples);
                float rgb[3];
                shade_ray(tracer, rays.ray(x, y, place.u, place.v), instance, point, rgb, points);
                for (int c = 0; c < 3; ++c) sum[c] += rgb[c];
            }
            for (int c = 0; c < 3; ++c) pixel[c] = sum[c] / static_cast<float>(pixel_samples);
        }
        if (pixel[0] != 0.0f || pixel[1] != 0.0f || pixel[2] != 0.0f) ++lit_points;
    }
}

void take_jobs(const Tracer& tracer, const CameraRays& rays, const RowJobs& jobs, int pixel_samples,
               Image& image, SharedProgress& shared) {
    // The module's code runs here: an overflow of this thread's stack is still one line.
    const SignalStack signal_stack;
    long long points = 0;
    long long lit_points = 0;
    for (int job = shared.next_job.fetch_add(1); job < jobs.count;
         job = shared.next_job.fetch_add(1)) {
        const ShaderInstance& instance = jobs.node(job);
        for (int y = job; y < image.height(); y += jobs.row_step) {
            if (shared.watch != nullptr && shared.watch->cancelled.load()) break;
            shade_row(tracer, rays, instance, y, pixel_samples, image, points, lit_points);
            shared.rows.fetch_add(1);
            if (shared.watch != nullptr) {
                if (shared.watch->rows_done != nullptr) {
                    shared.watch->rows_done[y].store(1, std::memory_order_release);
                }
                shared.watch->rows.fetch_add(1);
            }
        }
        if (shared.watch != nullptr && shared.watch->cancelled.load()) break;
    }
    shared.points.fetch_add(points);
    shared.lit_points.fetch_add(lit_points);
    const std::lock_guard<std::mutex> lock(shared.mutex);
    ++shared.finished;
    shared.changed.notify_one();
}

}  // namespace

RowJobs lane_jobs(std::vector<const ShaderInstance*> nodes, int lanes) {
    RowJobs jobs;
    jobs.count = static_cast<int>(nodes.size());
    jobs.row_step = lanes;
    jobs.nodes = std::move(nodes);
    return jobs;
}

RowJobs shared_node_jobs(const ShaderInstance& node, int height) {
    RowJobs jobs;
    jobs.count = height;
    jobs.row_step = height;
    jobs.nodes = {&node};
    return jobs;
}

RenderStats render_scene(const Tracer& tracer, const Camera& camera, const RowJobs& jobs,
                         int threads, Image& image, ProgressBar& progress, int pixel_samples,
                         RenderWatch* watch) {
    const CameraRays rays(camera, image.width(), image.height());
    const int count = std::max(1, std::min(threads, jobs.count));
    SharedProgress shared;
    shared.watch = watch;
    const auto start = std::chrono::steady_clock::now();

    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(count));
    try {
        for (int t = 0; t < count; ++t) {
            workers.emplace_back(take_jobs, std::cref(tracer), std::cref(rays), std::cref(jobs),
                                 pixel_samples, std::ref(image), std::ref(shared));
        }
    } catch (...) {
        // The threads that did start use this frame's state: they must end before it goes.
        for (std::thread& worker : workers) worker.join();
        throw;
    }
    for (bool finished = false; !finished;) {
        progress.show(shared.rows.load());
        if (watch != nullptr && watch->should_stop && !watch->cancelled && watch->should_stop()) {
            watch->cancelled = true;
        }
        std::unique_lock<std::mutex> lock(shared.mutex);
        finished = shared.changed.wait_for(lock, kProgressInterval,
                                           [&] { return shared.finished == count; });
    }
    for (std::thread& worker : workers) worker.join();
    const bool cancelled = watch != nullptr && watch->cancelled.load();
    if (!cancelled) progress.show(image.height());

    RenderStats stats;
    stats.points = shared.points.load();
    stats.lit_points = shared.lit_points.load();
    stats.cancelled = cancelled;
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return stats;
}

}  // namespace tmhost
