#include "host/render/render_run.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "host/core/point_light_renderer.h"
#include "host/render/command_line.h"
#include "host/render/image_output.h"
#include "host/render/lane_seeds.h"
#include "host/render/module_session.h"
#include "host/render/progress_bar.h"
#include "host/render/render_error.h"
#include "host/render/scene_renderer.h"
#include "host/render/scene_source.h"
#include "host/render/shader_instance.h"
#include "host/scene/image.h"
#include "host/scene/tracer.h"

namespace tmhost {

const char* const kRenderArguments =
    "[SCENE] [-o FILE] [--width W] [--height H] [--set NAME=VALUE]... [--lanes K] "
    "[--threads N] [--shared-node] [--module PATH]";
const char* const kRenderSummary =
    "render SCENE (a scene file; default: the built-in scene) with the module's shader into "
    "FILE (.png or .pfm; default: tonemix.png)";

namespace {

constexpr int kMaxThreads = 64;

struct RenderRequest {
    bool help = false;
    std::optional<std::string> scene_path;
    std::string output = "tonemix.png";
    std::optional<int> width;
    std::optional<int> height;
    std::vector<std::string> assignments;
    int lanes = kDefaultLanes;
    int threads = 1;
    bool shared_node = false;
    std::string module;
};

int default_threads() {
    const unsigned cores = std::thread::hardware_concurrency();  // 0 when unknown
    return static_cast<int>(std::clamp<unsigned>(cores, 1, kMaxThreads));
}

RenderRequest parse_request(const std::vector<std::string>& arguments,
                            const CommandContext& context) {
    const CommandLine line(arguments,
                           {{"--output", "-o", true, false},
                            {"--width", nullptr, true, false},
                            {"--height", nullptr, true, false},
                            {"--set", nullptr, true, true},
                            {"--lanes", nullptr, true, false},
                            {"--threads", nullptr, true, false},
                            {"--shared-node", nullptr, false, false},
                            {"--module", nullptr, true, false},
                            {"--help", "-h", false, false}},
                           "scene file");
    RenderRequest request;
    request.help = line.has("--help");
    request.scene_path = line.positional();
    request.output = line.value("--output").value_or(request.output);
    if (request.output.empty()) throw RenderError("--output: expected a file name");
    request.width = line.integer("--width", 1, kMaxImageSide);
    request.height = line.integer("--height", 1, kMaxImageSide);
    request.assignments = line.values("--set");
    request.lanes = line.integer("--lanes", 1, kMaxLanes).value_or(request.lanes);
    request.threads = line.integer("--threads", 1, kMaxThreads).value_or(default_threads());
    request.shared_node = line.has("--shared-node");
    if (request.shared_node && line.has("--lanes")) {
        throw RenderError("--lanes: not with --shared-node, whose one node shades every row");
    }
    request.module = module_path(line.value("--module"), context);
    return request;
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string summary(const Image& image, const RenderStats& stats, const std::string& path) {
    const double rate = stats.seconds > 0.0 ? stats.points / stats.seconds : 0.0;
    return "rendered " + std::to_string(image.width()) + "x" + std::to_string(image.height()) +
           ": " + std::to_string(stats.points) + " points shaded in " + fixed(stats.seconds, 2) +
           " s (" + fixed(rate, 0) + " points/s); image written to " + path;
}

// A node with the scene's values, prepared for the render; a lane's node gets the lane's seed.
std::unique_ptr<ShaderInstance> prepared_node(ModuleSession& session, const ParameterValues& values,
                                              SceneLights& lights, std::optional<int> lane) {
    auto instance = std::make_unique<ShaderInstance>(session.shader(), session.host().containers());
    instance->init_defaults();
    apply_scene_values(session.sheet(), values, lights, instance->container());
    if (lane) seed_lane(session.sheet(), *lane, instance->container());
    instance->prepare();
    return instance;
}

// The part of a render that can fail on bad input; the caller turns its errors into one line.
int render(const std::vector<std::string>& arguments, const CommandContext& context) {
    const RenderRequest request = parse_request(arguments, context);
    if (request.help) {
        context.report.out(std::string("usage: tonemix-host render ") + kRenderArguments);
        context.report.out(std::string("  ") + kRenderSummary);
        return COMMAND_CLEAN;
    }
    LoadedScene loaded = load_scene(request.scene_path);
    Scene& scene = loaded.scene;
    scene.width = request.width.value_or(scene.width);
    scene.height = request.height.value_or(scene.height);
    if (too_many_pixels(scene.width, scene.height)) {
        throw RenderError("image " + std::to_string(scene.width) + "x" +
                          std::to_string(scene.height) + ": more than " +
                          std::to_string(kMaxImagePixels) + " pixels");
    }
    const ImageOutput output(request.output);

    ModuleSession session(request.module, context.adjust_host);
    StandInHost& host = session.host();
    SceneLights lights(scene);
    const ParameterValues values =
        scene_parameter_values(session.sheet(), loaded, lights, request.assignments);

    const Tracer tracer(scene);
    PointLightRenderer renderer(lights.entries(), tracer);
    Image image(scene.width, scene.height);
    RenderStats stats;
    {
        // Millions of host calls from several threads: the journal would grow without bound.
        host.journal().set_enabled(false);
        host.set_render_backend(&renderer);
        std::vector<std::unique_ptr<ShaderInstance>> instances;
        RowJobs jobs;
        if (request.shared_node) {
            instances.push_back(prepared_node(session, values, lights, std::nullopt));
            jobs = shared_node_jobs(*instances.front(), scene.height);
        } else {
            // Lanes without a row would shade nothing; the seed of a lane is its index's, so
            // leaving them out changes no other lane.
            std::vector<const ShaderInstance*> nodes;
            for (int lane = 0; lane < std::min(request.lanes, scene.height); ++lane) {
                instances.push_back(prepared_node(session, values, lights, lane));
                nodes.push_back(instances.back().get());
            }
            jobs = lane_jobs(std::move(nodes), request.lanes);
        }
        ProgressBar progress(scene.height, context.report.show_progress());
        stats = render_scene(tracer, jobs, request.threads, image, progress);
        progress.finish();
    }
    const std::vector<std::string> left = session.finish();
    output.write(image);
    for (const std::string& line : left) context.report.warning("module: " + line);
    context.report.out(summary(image, stats, output.path()));
    return left.empty() ? COMMAND_CLEAN : COMMAND_FAULT;
}

}  // namespace

int run_render(const std::vector<std::string>& arguments, const CommandContext& context) {
    return run_reporting_errors("render", render, arguments, context);
}

}  // namespace tmhost
