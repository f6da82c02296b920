// The render loop: one primary ray per pixel, the nearest hit shaded by the module, the
// object's colour times the shader's colour, the background where nothing is hit.
//
// Rows are shared out among the shader instances, one thread each: instance t shades rows t,
// t + N, t + 2N, ... in order. A node's random stream carries on from point to point, so this
// fixed assignment is what makes a scene, a seed and N give the same image on every run.
#ifndef TMHOST_SCENE_RENDERER_H
#define TMHOST_SCENE_RENDERER_H

#include <vector>

#include "host/render/progress_bar.h"
#include "host/render/shader_instance.h"
#include "host/scene/image.h"
#include "host/scene/tracer.h"

namespace tmhost {

struct RenderStats {
    long long points = 0;  // points the module shaded
    double seconds = 0.0;  // wall-clock time of the shading
};

// Fills the image; instances must be prepared, one per thread, and the host's renderer set up
// for the tracer's scene.
RenderStats render_scene(const Tracer& tracer, const std::vector<ShaderInstance*>& instances,
                         Image& image, ProgressBar& progress);

}  // namespace tmhost

#endif
