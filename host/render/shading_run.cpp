#include "host/render/shading_run.h"

#include <algorithm>

#include "host/render/render_error.h"
#include "host/render/scene_source.h"
#include "host/render/shader_instance.h"
#include "host/scene/json_fields.h"
#include "host/scene/ray_offset.h"

namespace tmhost {

namespace {

LoadedScene sized(const LoadedScene& loaded, ImageSize size, const CameraView& view) {
    LoadedScene copy = loaded;  // meshes are shared, not copied
    copy.scene.width = size.width;
    copy.scene.height = size.height;
    const Camera& camera = copy.scene.camera;
    copy.scene.camera = viewed_camera(camera, view);
    const Camera& viewed = copy.scene.camera;
    // A far zoom out of a far scene can leave the coordinate range; the rays need a position and
    // a target apart.
    if (!is_finite(viewed.position) || !is_finite(viewed.target) ||
        largest_coordinate(viewed.position) > kMaxCoordinate ||
        largest_coordinate(viewed.target) > kMaxCoordinate ||
        !(length(viewed.position - viewed.target) > 0.0)) {
        throw RenderError(std::string("the camera's view takes it beyond ") + kMaxCoordinateText +
                          " (--camera-zoom, --camera-pan)");
    }
    return copy;
}

// A node with the values, prepared for the render; a lane's node gets the lane's seed.
std::unique_ptr<ShaderInstance> prepared_node(ModuleSession& session, const ParameterValues& values,
                                              SceneLights& lights, std::optional<int> lane) {
    auto instance = std::make_unique<ShaderInstance>(session.shader(), session.host().containers());
    instance->init_defaults();
    apply_scene_values(session.description(), values, lights, instance->container());
    if (lane) seed_lane(session.description(), *lane, instance->container());
    instance->prepare();
    return instance;
}

// Locks the host's stores when the settings give a lock.
std::unique_lock<std::mutex> host_work(const ShadeSettings& settings) {
    return settings.host_work != nullptr ? std::unique_lock<std::mutex>(*settings.host_work)
                                         : std::unique_lock<std::mutex>();
}

}  // namespace

ShadingRun::ShadingRun(ModuleSession& session, std::shared_ptr<const PreparedScene> prepared,
                       ImageSize size, const std::vector<std::string>& assignments,
                       const CameraView& view)
    : session_(session),
      prepared_(std::move(prepared)),
      loaded_(sized(prepared_->loaded, size, view)),
      other_assignments_(apply_light_assignments(session.description(), loaded_, assignments)),
      lights_(std::make_unique<SceneLights>(loaded_.scene)),
      values_(scene_parameter_values(session.description(), loaded_, *lights_, other_assignments_)),
      renderer_(lights_->entries(), prepared_->tracer) {}

RenderStats ShadingRun::shade(const ParameterValues& node_values, const ShadeSettings& settings,
                              Image& image, ProgressBar& progress, RenderWatch* watch,
                              long long work_before, long long row_cost) const {
    StandInHost& host = session_.host();
    const Scene& scene = loaded_.scene;
    std::vector<std::unique_ptr<ShaderInstance>> instances;
    // Detached and freed however the shading ends, so that the host never keeps a renderer that
    // is gone, and the module gets back every node.
    struct Attached {
        StandInHost& host;
        std::vector<std::unique_ptr<ShaderInstance>>& instances;
        const ShadeSettings& settings;
        ~Attached() {
            host.set_render_backend(nullptr);
            const std::unique_lock<std::mutex> lock = host_work(settings);
            instances.clear();
        }
    } attached{host, instances, settings};
    RowJobs jobs;
    {
        const std::unique_lock<std::mutex> lock = host_work(settings);
        // Millions of host calls from several threads: the journal would grow without bound.
        host.journal().set_enabled(false);
        host.set_render_backend(&renderer_);
        if (settings.shared_node) {
            instances.push_back(prepared_node(session_, node_values, *lights_, std::nullopt));
            jobs = shared_node_jobs(*instances.front(), scene.height);
        } else {
            // Lanes without a row would shade nothing; the seed of a lane is its index's, so
            // leaving them out changes no other lane.
            std::vector<const ShaderInstance*> nodes;
            for (int lane = 0; lane < std::min(settings.lanes, scene.height); ++lane) {
                instances.push_back(prepared_node(session_, node_values, *lights_, lane));
                nodes.push_back(instances.back().get());
            }
            jobs = lane_jobs(std::move(nodes), settings.lanes);
        }
    }
    progress.count_from(work_before, row_cost);
    // However the shading ends; with other renders of the same session under way, the phase is
    // theirs too.
    struct Shading {
        ModuleSession& session;
        explicit Shading(ModuleSession& shading) : session(shading) { session.shading_begins(); }
        ~Shading() { session.shading_ends(); }
    } shading(session_);
    return render_scene(prepared_->tracer, scene.camera, jobs, settings.threads, image, progress,
                        settings.pixel_samples, watch);
}

}  // namespace tmhost
