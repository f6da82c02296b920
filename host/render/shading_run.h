// The shading of images of one prepared scene with the module's shader: the scene at the size a
// job asks for with its light list applied, the scene's lights as the host presents them, the
// values of the scene and the job, and fresh shader nodes for every image. Sheets shade many
// images with one run; a preview server makes a run for each request over a scene it keeps.
#ifndef TMHOST_SHADING_RUN_H
#define TMHOST_SHADING_RUN_H

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/core/point_light_renderer.h"
#include "host/image/image.h"
#include "host/loading/module_session.h"
#include "host/render/lane_seeds.h"
#include "host/render/parameter_values.h"
#include "host/render/prepared_scene.h"
#include "host/render/progress_bar.h"
#include "host/render/scene_lights.h"
#include "host/render/scene_renderer.h"
#include "host/scene/camera_view.h"

namespace tmhost {

// How an image's rows are shaded: threads, lanes or one node from every thread, rays a pixel.
struct ShadeSettings {
    int lanes = kDefaultLanes;
    int threads = 1;
    int pixel_samples = 1;  // camera rays a pixel, averaged
    bool shared_node = false;
    // Held while the image's nodes are made, prepared and freed: a preview server that asks the
    // module other things (a parameter list) from other threads while a render shades keeps the
    // host's stores to one thread at a time by it. None: the caller's thread alone uses the host.
    std::mutex* host_work = nullptr;
};

class ShadingRun {
public:
    // Applies the light list among `assignments` (--set lights=...) and checks every value
    // against the session's description; looks through the scene's camera turned by `view`.
    // Throws RenderError as apply_light_assignments and scene_parameter_values do, and for a
    // view that takes the camera beyond the coordinate limit.
    ShadingRun(ModuleSession& session, std::shared_ptr<const PreparedScene> prepared,
               ImageSize size, const std::vector<std::string>& assignments,
               const CameraView& view = {});
    ShadingRun(const ShadingRun&) = delete;
    ShadingRun& operator=(const ShadingRun&) = delete;

    ModuleSession& session() const { return session_; }
    // The scene as this run shades it: the job's size, its light list, its camera.
    const LoadedScene& loaded() const { return loaded_; }
    const Scene& scene() const { return loaded_.scene; }
    // The scene's values with the job's over them.
    const ParameterValues& values() const { return values_; }

    // Shades the image (sized as the run's scene) with fresh nodes of the session's shader
    // holding `node_values`. The progress bar counts its rows, each `row_cost`, after
    // `work_before`. `watch`, when given, sees the rows and may cancel the render.
    RenderStats shade(const ParameterValues& node_values, const ShadeSettings& settings,
                      Image& image, ProgressBar& progress, RenderWatch* watch,
                      long long work_before = 0, long long row_cost = 1) const;

private:
    ModuleSession& session_;
    const std::shared_ptr<const PreparedScene> prepared_;
    LoadedScene loaded_;
    const std::vector<std::string> other_assignments_;  // all but the light list's
    // Stays where it was made: the module keeps pointers into it.
    const std::unique_ptr<SceneLights> lights_;
    const ParameterValues values_;
    mutable PointLightRenderer renderer_;
};

}  // namespace tmhost

#endif
