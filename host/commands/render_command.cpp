#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "host/commands/command.h"

#include "host/commands/command_line.h"
#include "host/commands/image_output.h"
#include "host/core/module_session.h"
#include "host/core/point_light_renderer.h"
#include "host/image/image.h"
#include "host/render/lane_seeds.h"
#include "host/render/progress_bar.h"
#include "host/render/render_error.h"
#include "host/render/scene_renderer.h"
#include "host/render/scene_source.h"
#include "host/render/shader_instance.h"
#include "host/scene/tracer.h"

namespace tmhost {

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
    bool trust_description = false;
    std::string module;
};

int default_threads() {
    const unsigned cores = std::thread::hardware_concurrency();  // 0 when unknown
    return static_cast<int>(std::clamp<unsigned>(cores, 1, kMaxThreads));
}

RenderRequest parse_request(const CommandArguments& arguments, const CommandSettings& settings) {
    const CommandLine line(arguments, render_options(), "scene file");
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
    request.trust_description = line.has("--trust-description");
    if (request.shared_node && line.has("--lanes")) {
        throw RenderError("--lanes: not with --shared-node, whose one node shades every row");
    }
    request.module = module_path(line.value("--module"), settings);
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
    apply_scene_values(session.description(), values, lights, instance->container());
    if (lane) seed_lane(session.description(), *lane, instance->container());
    instance->prepare();
    return instance;
}

// The part of a render that can fail on bad input; the caller turns its errors into one line.
int render(const CommandArguments& arguments, const CommandSettings& settings,
           CommandOutput& output) {
    const RenderRequest request = parse_request(arguments, settings);
    if (request.help) {
        for (std::string& line : usage_lines("render")) output.out(std::move(line));
        return EXIT_CLEAN;
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
    const ImageOutput image_file(request.output);

    ModuleSession session(request.module, settings.prepare_host);
    session.require_shader(request.trust_description ? ModuleSession::Trust::description_as_given
                                                     : ModuleSession::Trust::checked);
    StandInHost& host = session.host();
    SceneLights lights(scene);
    const ParameterValues values =
        scene_parameter_values(session.description(), loaded, lights, request.assignments);

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
        ProgressBar progress(scene.height, settings.show_progress);
        stats = render_scene(tracer, jobs, request.threads, image, progress);
        progress.finish();
    }
    const std::vector<std::string> left = session.finish();
    image_file.write(image);
    for (const std::string& line : left) output.warning("module: " + line);
    // The image is written either way; a user looking at a black picture wants to know why.
    if (stats.points == 0) {
        output.warning("no point was shaded: the camera sees no object of the scene");
    } else if (stats.lit_points == 0) {
        output.warning(
            "every shaded point is black: no light reaches the objects the camera "
            "sees (check the lights, the light list and the shader's values)");
    }
    output.out(summary(image, stats, image_file.path()));
    return left.empty() ? EXIT_CLEAN : EXIT_FAULT;
}

}  // namespace

const std::vector<OptionRule>& render_options() {
    // The ranges from the limits the parser checks, so that help cannot tell another.
    static const std::string side = "1 to " + std::to_string(kMaxImageSide) + ", at most " +
                                    std::to_string(kMaxImagePixels) +
                                    " pixels in all; default: the scene's image";
    static const std::string lanes = "1 to " + std::to_string(kMaxLanes) +
                                     "; default: " + std::to_string(kDefaultLanes) +
                                     "; not with --shared-node";
    static const std::string threads = "1 to " + std::to_string(kMaxThreads) +
                                       "; default: the machine's cores, at most " +
                                       std::to_string(kMaxThreads);
    static const std::vector<OptionRule> rules = {
        {"--output", "-o", true, false, "FILE",
         ".png (8-bit), .pfm or .exr (floats) by the extension in any letter case; default: "
         "tonemix.png",
         "the image file"},
        {"--width", nullptr, true, false, "W", side.c_str(), "the image's width in pixels"},
        {"--height", nullptr, true, false, "H", side.c_str(), "the image's height in pixels"},
        {"--set", nullptr, true, true, "NAME=VALUE", nullptr,
         "a shader parameter over the scene's value, by its name or short name (see describe)"},
        {"--lanes", nullptr, true, false, "K", lanes.c_str(),
         "shade in K lanes, each a node of its own with a seed of its own"},
        {"--threads", nullptr, true, false, "N", threads.c_str(), "shade with N threads"},
        {"--shared-node", nullptr, false, false, nullptr, nullptr,
         "shade with one node from every thread at once, as a real host does"},
        {"--module", nullptr, true, false, "PATH", "default: Tonemix.cdl beside this program",
         "the module file"},
        {"--trust-description", nullptr, false, false, nullptr, nullptr,
         "use the module's description even where it disagrees with the module's own defaults"},
        {"--help", "-h", false, false, nullptr, nullptr, "show this help and exit"},
    };
    return rules;
}

CommandOutput run_render(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_reporting_errors("render", render, arguments, settings);
}

}  // namespace tmhost
