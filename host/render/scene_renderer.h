// The render loop: one primary ray per pixel (or several, averaged: pixel_samples.h), the nearest
// hit shaded by the module, the object's colour times the shader's colour, the background where
// nothing is hit.
//
// Rows are shaded in jobs: job j shades rows j, j + step, j + 2 * step, ... in order with its
// node. The threads take whole jobs from a shared counter, so which thread shades a job never
// changes what the job's node is asked, in what order. A node's random stream carries on from
// point to point; with one node per job, a scene and its nodes' seeds give one image for any
// number of threads.
#ifndef TMHOST_SCENE_RENDERER_H
#define TMHOST_SCENE_RENDERER_H

#include <atomic>
#include <functional>
#include <vector>

#include "host/image/image.h"
#include "host/render/progress_bar.h"
#include "host/render/shader_instance.h"
#include "host/scene/tracer.h"

namespace tmhost {

struct RowJobs {
    int count = 0;     // jobs 0 .. count - 1; no job without a row of the image
    int row_step = 1;  // job j shades rows j, j + row_step, ...
    // Job j's node: nodes[j], or nodes[0] for every job when there is one. One node for many
    // jobs is shaded from several threads at once.
    std::vector<const ShaderInstance*> nodes;

    const ShaderInstance& node(int job) const {
        return *nodes[nodes.size() == 1 ? 0 : static_cast<std::size_t>(job)];
    }
};

// Lane k of `lanes` shades rows k, k + lanes, ... with nodes[k]; one node for each lane that
// has a row, so nodes.size() must be min(lanes, image height).
RowJobs lane_jobs(std::vector<const ShaderInstance*> nodes, int lanes);
// Every row its own job, all on the one node.
RowJobs shared_node_jobs(const ShaderInstance& node, int height);

struct RenderStats {
    long long points = 0;      // points the module shaded
    long long lit_points = 0;  // of those, the points whose pixel is not black
    double seconds = 0.0;      // wall-clock time of the shading
    bool cancelled = false;    // stopped by its RenderWatch: the image is not whole
};

// A render as another thread sees it: the rows done so far (rows adds to; total_rows is the
// caller's, for work of several renders), and a way to stop it. A cancelled
// render's threads finish the row they shade and take no other; render_scene then returns with
// `cancelled` set, its nodes still whole for the caller to give back.
struct RenderWatch {
    std::atomic<bool> cancelled{false};
    std::atomic<long> rows{0};
    std::atomic<long> total_rows{0};
    // Asked on the render's own thread about every 100 ms while the render runs; an answer of
    // true cancels it (a preview server asks whether its client has gone).
    std::function<bool()> should_stop;
    // When not null, one flag a row of the image (the caller's, as long as the image), set with
    // release order once the row is shaded whole: a reader that sees a row's flag set may read
    // that row while the render goes on with the others.
    std::atomic<unsigned char>* rows_done = nullptr;
};

// Fills the image, seen through `camera` (the scene's, or one a viewer turned), with at most
// `threads` threads, `pixel_samples` rays a pixel (1 to kMostPixelSamples); the jobs' nodes must
// be prepared and the host's renderer set up for the tracer's scene. A node shades its pixels'
// samples in order, so the image repeats.
RenderStats render_scene(const Tracer& tracer, const Camera& camera, const RowJobs& jobs,
                         int threads, Image& image, ProgressBar& progress, int pixel_samples = 1,
                         RenderWatch* watch = nullptr);

}  // namespace tmhost

#endif
