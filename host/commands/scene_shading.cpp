#include "host/commands/scene_shading.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include "host/render/lane_seeds.h"
#include "host/render/render_error.h"
#include "host/render/shader_instance.h"
#include "host/scene/scene_extent.h"

namespace tmhost {

namespace {

constexpr int kMaxThreads = 64;

int default_threads() {
    const unsigned cores = std::thread::hardware_concurrency();  // 0 when unknown
    return static_cast<int>(std::clamp<unsigned>(cores, 1, kMaxThreads));
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

}  // namespace

std::vector<OptionRule> shading_options(const char* output_values) {
    // The ranges from the limits the parser checks, so that help cannot tell another. The
    // texts live as long as the program, as the rules' pointers need.
    static const std::string side =
        "1 to " + std::to_string(kMaxImageSide) + ", at most " + std::to_string(kMaxImagePixels) +
        " pixels in all; default: the scene's, or in its shape with the other side";
    static const std::string lanes = "1 to " + std::to_string(kMaxLanes) +
                                     "; default: " + std::to_string(kDefaultLanes) +
                                     "; not with --shared-node";
    static const std::string pixel_samples =
        "1 to " + std::to_string(kMostPixelSamples) + "; default: 1, the pixel's centre";
    static const std::string threads = "1 to " + std::to_string(kMaxThreads) +
                                       "; default: the machine's cores, at most " +
                                       std::to_string(kMaxThreads);
    return {
        {"--output", "-o", true, false, "FILE", output_values, "the image file"},
        {"--width", nullptr, true, false, "W", side.c_str(), "the image's width in pixels"},
        {"--height", nullptr, true, false, "H", side.c_str(), "the image's height in pixels"},
        {"--set", nullptr, true, true, "NAME=VALUE", nullptr,
         "a shader parameter over the scene's value, by its name or short name (see describe)"},
        {"--lanes", nullptr, true, false, "K", lanes.c_str(),
         "shade in K lanes, each a node of its own with a seed of its own"},
        {"--threads", nullptr, true, false, "N", threads.c_str(), "shade with N threads"},
        {"--pixel-samples", nullptr, true, false, "N", pixel_samples.c_str(),
         "N camera rays a pixel at stratified places, their colours averaged: smooth edges"},
        {"--shared-node", nullptr, false, false, nullptr, nullptr,
         "shade with one node from every thread at once, as a real host does"},
        {"--allow-long", nullptr, false, false, nullptr, nullptr,
         "shade even beyond 65536 samples a point or 2^32 sample points in all"},
        {"--exposure", nullptr, true, false, "EV", "-20 to 20; default: 0",
         "brighten (or darken, below 0) the light by 2^EV before it is stored; a .pfm or .exr "
         "image keeps the shader's values unless this is given"},
        {"--tonemap", nullptr, true, false, "NAME",
         "clamp (light above 1 clipped), reinhard (L / (1 + L) on luminance) or filmic (an S "
         "curve); default: clamp",
         "how light above 1 becomes an 8-bit value; .pfm and .exr images keep their range"},
        {"--format", nullptr, true, false, "TYPE",
         "png, pfm or exr; needed for -o -; default: the type of the file's extension",
         "the image's type"},
        kModuleOption,
        kTrustDescriptionOption,
        kHelpOption,
    };
}

ShadingRequest shading_request(const CommandLine& line, const CommandSettings& settings,
                               const std::string& output_default) {
    ShadingRequest request;
    request.help = line.has("--help");
    request.scene_path = line.positional();
    request.output = line.value("--output").value_or(output_default);
    if (request.output.empty()) throw RenderError("--output: expected a file name");
    request.format = line.value("--format");
    if (const std::optional<std::string> ev = line.value("--exposure")) {
        request.look.exposure = exposure_value(*ev, "--exposure");
    }
    if (const std::optional<std::string> name = line.value("--tonemap")) {
        const std::optional<ToneMap> map = tone_map_named(*name);
        if (!map) {
            throw RenderError("--tonemap: unknown tone map '" + *name +
                              "' (expected clamp, reinhard or filmic)");
        }
        request.look.tone_map = *map;
    }
    request.width = line.integer("--width", 1, kMaxImageSide);
    request.height = line.integer("--height", 1, kMaxImageSide);
    request.assignments = line.values("--set");
    request.lanes = line.integer("--lanes", 1, kMaxLanes).value_or(kDefaultLanes);
    request.threads = line.integer("--threads", 1, kMaxThreads).value_or(default_threads());
    request.pixel_samples = line.integer("--pixel-samples", 1, kMostPixelSamples).value_or(1);
    request.shared_node = line.has("--shared-node");
    request.trust = description_trust(line);
    if (request.shared_node && line.has("--lanes")) {
        throw RenderError("--lanes: not with --shared-node, whose one node shades every row");
    }
    request.module = module_path(line.value("--module"), settings);
    request.allow_long = line.has("--allow-long");
    return request;
}

namespace {

// The value in effect for the parameter of that short name and type: the one given, else its
// default; none when the description has no such parameter or no default for it.
std::optional<ParameterValue> value_in_effect(const Description& description,
                                              const ParameterValues& values, const char* name,
                                              ParameterType type) {
    const Parameter* parameter = description.find(std::string(name));
    if (parameter == nullptr || parameter->type != type) return std::nullopt;
    if (const ParameterValue* given = values.find(parameter->id)) return *given;
    const std::optional<Element> fallback = parameter->default_element();
    if (!fallback) return std::nullopt;
    return ParameterValue{parameter, fallback->word, fallback->real};
}

}  // namespace

long long samples_per_point(const Description& description, const ParameterValues& values) {
    const std::optional<ParameterValue> samples =
        value_in_effect(description, values, "samples", ParameterType::integer);
    return samples ? std::max<long long>(samples->word, 1) : 1;
}

void check_work(long long most_samples, long long sample_points, const std::string& what,
                bool allow_long) {
    if (allow_long) return;
    if (most_samples > kMostSamplesPerPoint) {
        throw RenderError(what + ": " + std::to_string(most_samples) +
                          " samples a point, more than " + std::to_string(kMostSamplesPerPoint) +
                          " (--allow-long shades it anyway)");
    }
    if (sample_points > kMostSamplePoints) {
        throw RenderError(what + ": " + std::to_string(sample_points) +
                          " sample points, more than " + std::to_string(kMostSamplePoints) +
                          " (--allow-long shades it anyway)");
    }
}

LoadedScene requested_scene(const ShadingRequest& request) {
    LoadedScene loaded = load_scene(request.scene_path);
    Scene& scene = loaded.scene;
    // One side alone keeps the scene's shape: the other side in proportion, rounded, at least 1.
    const auto in_proportion = [](long long side, long long to, long long from) {
        return std::max(1LL, (side * to * 2 + from) / (from * 2));
    };
    long long width = request.width.value_or(scene.width);
    long long height = request.height.value_or(scene.height);
    if (request.width && !request.height) height = in_proportion(width, scene.height, scene.width);
    if (request.height && !request.width) width = in_proportion(height, scene.width, scene.height);
    if (width > kMaxImageSide || height > kMaxImageSide) {
        throw RenderError("image " + std::to_string(width) + "x" + std::to_string(height) +
                          " in the scene's shape: a side above " + std::to_string(kMaxImageSide) +
                          "; give both --width and --height");
    }
    scene.width = static_cast<int>(width);
    scene.height = static_cast<int>(height);
    if (too_many_pixels(scene.width, scene.height)) {
        throw RenderError("image " + std::to_string(scene.width) + "x" +
                          std::to_string(scene.height) + ": more than " +
                          std::to_string(kMaxImagePixels) + " pixels");
    }
    return loaded;
}

ShadingSetup ShadingSetup::make(const ShadingRequest& request, const CommandSettings& settings) {
    LoadedScene loaded = requested_scene(request);
    ImageOutput image_file(request.output, request.format, settings.stdout_is_terminal,
                           request.look);
    CommandSession command_session(request.module, request.trust, settings);
    const Description& description = command_session.get().description();
    const std::vector<std::string> assignments =
        apply_light_assignments(description, loaded, request.assignments);
    auto lights = std::make_unique<SceneLights>(loaded.scene);
    ParameterValues values = scene_parameter_values(description, loaded, *lights, assignments);
    const long long samples = samples_per_point(description, values);
    check_work(samples,
               samples * request.pixel_samples * static_cast<long long>(loaded.scene.width) *
                   loaded.scene.height,
               "samples=" + std::to_string(samples) + " at " + std::to_string(loaded.scene.width) +
                   "x" + std::to_string(loaded.scene.height) +
                   (request.pixel_samples > 1
                        ? ", " + std::to_string(request.pixel_samples) + " pixel samples"
                        : std::string()),
               request.allow_long);
    return ShadingSetup(std::move(loaded), std::move(image_file), std::move(command_session),
                        std::move(lights), std::move(values), settings);
}

ShadingSetup::ShadingSetup(LoadedScene loaded_scene, ImageOutput output,
                           CommandSession command_session,
                           std::unique_ptr<SceneLights> scene_lights, ParameterValues scene_values,
                           const CommandSettings& settings)
    : loaded(std::move(loaded_scene)),
      scene(loaded.scene),
      image_file(std::move(output)),
      command_session_(std::move(command_session)),
      lights(std::move(scene_lights)),
      values(std::move(scene_values)),
      watch_(settings.watch),
      keep_image_(settings.keep_image),
      tracer_(scene),
      renderer_(lights->entries(), tracer_) {}

int ShadingSetup::finish(const Image& image, const RenderStats& stats, const std::string& summary,
                         CommandOutput& output) {
    const std::vector<std::string> left = command_session_.finish();
    if (keep_image_) {
        output.image = std::make_shared<const Image>(image);
    } else {
        image_file.write(image, output);
    }
    for (const std::string& text : left) output.warning("module: " + text);
    warn_if_unlit(stats, output);
    if (image_file.to_standard_output()) {
        output.note(summary);
    } else {
        output.out(summary);
    }
    return left.empty() ? EXIT_CLEAN : EXIT_FAULT;
}

RenderStats ShadingSetup::shade(const ParameterValues& node_values, const ShadingRequest& request,
                                Image& image, ProgressBar& progress, long long work_before,
                                long long row_cost) {
    StandInHost& host = session().host();
    // Millions of host calls from several threads: the journal would grow without bound.
    host.journal().set_enabled(false);
    // Detached however the shading ends, so that the host never keeps a renderer that is gone.
    struct Attached {
        StandInHost& host;
        ~Attached() { host.set_render_backend(nullptr); }
    } attached{host};
    host.set_render_backend(&renderer_);
    std::vector<std::unique_ptr<ShaderInstance>> instances;
    RowJobs jobs;
    if (request.shared_node) {
        instances.push_back(prepared_node(session(), node_values, *lights, std::nullopt));
        jobs = shared_node_jobs(*instances.front(), scene.height);
    } else {
        // Lanes without a row would shade nothing; the seed of a lane is its index's, so
        // leaving them out changes no other lane.
        std::vector<const ShaderInstance*> nodes;
        for (int lane = 0; lane < std::min(request.lanes, scene.height); ++lane) {
            instances.push_back(prepared_node(session(), node_values, *lights, lane));
            nodes.push_back(instances.back().get());
        }
        jobs = lane_jobs(std::move(nodes), request.lanes);
    }
    progress.count_from(work_before, row_cost);
    session().set_crash_phase("shading");
    const RenderStats stats = render_scene(tracer_, jobs, request.threads, image, progress,
                                           request.pixel_samples, watch_);
    session().set_crash_phase("running");
    return stats;
}

namespace {

// The value of a real parameter by its short name: the one given, else its default.
std::optional<float> real_value(const Description& description, const ParameterValues& values,
                                const char* name) {
    const std::optional<ParameterValue> value =
        value_in_effect(description, values, name, ParameterType::real);
    return value ? std::optional<float>(value->real) : std::nullopt;
}

// Two significant digits: "20", "1.7", "0.069".
std::string short_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", value);
    return text;
}

}  // namespace

std::optional<std::string> reach_warning(const Description& description,
                                         const ParameterValues& values, const Scene& scene) {
    const std::optional<double> extent = scene_extent(scene);
    if (!extent || !(*extent > 0.0)) return std::nullopt;
    const std::optional<float> distance = real_value(description, values, "distance");
    const std::optional<float> offset = real_value(description, values, "offset");
    const bool far = distance && *distance > kReachPerExtent * *extent;
    const bool high = offset && *offset > 0.5 * *extent;
    if (!far && !high) return std::nullopt;
    std::string what;
    std::string suggestion;
    if (far) {
        what = "distance " + short_number(*distance) + " is more than " +
               short_number(kReachPerExtent) + " times";
        suggestion = "--set distance=" + short_number(0.4 * *extent);
    }
    if (high) {
        what +=
            std::string(far ? " and " : "") + "offset " + short_number(*offset) + " more than half";
        suggestion += std::string(far ? " " : "") + "--set offset=" + short_number(0.015 * *extent);
    }
    return "the shader's reach does not fit the scene: " + what + " the scene's extent of " +
           short_number(*extent) + " (the diagonal of its objects' bounds, planes left out); try " +
           suggestion;
}

void warn_if_unlit(const RenderStats& stats, CommandOutput& output) {
    // The image is written either way; a user looking at a black picture wants to know why.
    if (stats.points == 0) {
        output.warning("no point was shaded: the camera sees no object of the scene");
    } else if (stats.lit_points == 0) {
        output.warning(
            "every shaded point is black: no light reaches the objects the camera "
            "sees (check the lights, the light list and the shader's values)");
    }
}

std::string fixed_text(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace tmhost
