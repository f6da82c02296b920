#include "host/commands/scene_shading.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <thread>
#include <variant>

#include "host/commands/command_error.h"
#include "host/core/shader_names.h"
#include "host/render/lane_seeds.h"
#include "host/render/shader_instance.h"
#include "host/scene/scene_extent.h"

namespace tmhost {

namespace {

constexpr int kMaxThreads = 64;

std::vector<OptionRule> shading_only_options(const char* output_values) {
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
        OptionRule::valued("--output", "FILE", "the image file")
            .with_alias("-o")
            .with_values(output_values),
        OptionRule::valued("--width", "W", "the image's width in pixels").with_values(side.c_str()),
        OptionRule::valued("--height", "H", "the image's height in pixels")
            .with_values(side.c_str()),
        OptionRule::valued(
            "--set", "NAME=VALUE",
            "a shader parameter over the scene's value, by its name or short name (see describe)")
            .repeated(),
        OptionRule::valued("--lanes", "K",
                           "shade in K lanes, each a node of its own with a seed of its own")
            .with_values(lanes.c_str()),
        OptionRule::valued("--threads", "N", "shade with N threads").with_values(threads.c_str()),
        OptionRule::valued(
            "--pixel-samples", "N",
            "N camera rays a pixel at stratified places, their colours averaged: smooth edges")
            .with_values(pixel_samples.c_str()),
        OptionRule::flag("--shared-node",
                         "shade with one node from every thread at once, as a real host does"),
        OptionRule::flag(
            "--allow-long",
            "shade even beyond 65536 samples a point, or 2^32 sample points or 2^35 light tests "
            "(sample points x lights x (1 + planes)) in all"),
        OptionRule::valued(
            "--exposure", "EV",
            "brighten (or darken, below 0) the light by 2^EV before it is stored; a .pfm or .exr "
            "image keeps the shader's values unless this is given")
            .with_values("-20 to 20; default: 0"),
        OptionRule::valued(
            "--tonemap", "NAME",
            "how light above 1 becomes an 8-bit value; .pfm and .exr images keep their range")
            .with_values("clamp (light above 1 clipped), reinhard (L / (1 + L) on luminance) or "
                         "filmic (an S "
                         "curve); default: clamp"),
        OptionRule::valued("--format", "TYPE", "the image's type")
            .with_values(
                "png, pfm or exr; needed for -o -; default: the type of the file's extension"),
    };
}

// The shading options with the camera's and the common ones after them.
std::vector<OptionRule> with_camera_options(std::vector<OptionRule> rules) {
    for (const OptionRule& rule : camera_option_rules()) rules.push_back(rule);
    rules.push_back(kModuleOption);
    rules.push_back(kTrustDescriptionOption);
    rules.push_back(kHelpOption);
    return rules;
}

}  // namespace

std::vector<OptionRule> shading_options(const char* output_values) {
    return with_camera_options(shading_only_options(output_values));
}

int default_render_threads() {
    const unsigned cores = std::thread::hardware_concurrency();  // 0 when unknown
    return static_cast<int>(std::clamp<unsigned>(cores, 1, kMaxThreads));
}

ShadingRequest shading_request(const CommandLine& line, const CommandSettings& settings,
                               const std::string& output_default) {
    ShadingRequest request;
    request.scene_path = line.positional();
    request.output = line.value("--output").value_or(output_default);
    if (request.output.empty()) throw UsageError("--output: expected a file name");
    request.format = line.value("--format");
    if (const std::optional<std::string> ev = line.value("--exposure")) {
        request.look.exposure = exposure_value(*ev, "--exposure");
    }
    if (const std::optional<std::string> name = line.value("--tonemap")) {
        request.look.tone_map = tone_map_value(*name, "--tonemap");
    }
    request.width = line.integer("--width", 1, kMaxImageSide);
    request.height = line.integer("--height", 1, kMaxImageSide);
    request.assignments = line.values("--set");
    request.lanes = line.integer("--lanes", 1, kMaxLanes).value_or(kDefaultLanes);
    request.threads = line.integer("--threads", 1, kMaxThreads).value_or(default_render_threads());
    request.pixel_samples = line.integer("--pixel-samples", 1, kMostPixelSamples).value_or(1);
    request.shared_node = line.has("--shared-node");
    request.trust = description_trust(line);
    if (request.shared_node && line.has("--lanes")) {
        throw UsageError("--lanes: not with --shared-node, whose one node shades every row");
    }
    request.module = module_path(line.value("--module"), settings);
    request.allow_long = line.has("--allow-long");
    request.stage = stage_options(line);
    request.view = camera_view(line);
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
        value_in_effect(description, values, shader_names::kSamples, ParameterType::integer);
    return samples ? std::max<long long>(samples->word, 1) : 1;
}

PointCost point_cost(const Scene& scene) {
    PointCost cost;
    cost.lights = static_cast<long long>(scene.lights.size());
    for (const SceneObject& object : scene.objects) {
        if (std::holds_alternative<Plane>(object.shape)) ++cost.planes;
    }
    return cost;
}

WorkLimits serve_work_limits() {
    WorkLimits limits;
    limits.samples = kMostSamplesPerPoint;
    limits.sample_points = 1LL << 28;
    limits.light_tests = 1LL << 31;
    limits.pixels = 4096LL * 4096;
    limits.lifted_by = "serve --allow-long";
    return limits;
}

void check_work(long long most_samples, long long sample_points, const PointCost& cost,
                long long pixels, const std::string& what, const WorkLimits& limits) {
    const std::string lift = " (" + std::string(limits.lifted_by) + " shades it anyway)";
    if (pixels > limits.pixels) {
        throw UsageError(what + ": " + std::to_string(pixels) + " pixels, more than " +
                         std::to_string(limits.pixels) + lift);
    }
    if (most_samples > limits.samples) {
        throw UsageError(what + ": " + std::to_string(most_samples) +
                         " samples a point, more than " + std::to_string(limits.samples) + lift);
    }
    if (sample_points > limits.sample_points) {
        throw UsageError(what + ": " + std::to_string(sample_points) +
                         " sample points, more than " + std::to_string(limits.sample_points) +
                         lift);
    }
    // Each factor is far from overflowing, their product need not be: compared by division.
    const unsigned long long points = static_cast<unsigned long long>(std::max(sample_points, 0LL));
    const unsigned long long per_point = static_cast<unsigned long long>(cost.light_tests());
    if (points > static_cast<unsigned long long>(limits.light_tests) / per_point) {
        const auto counted = [](long long count, const char* one) {
            return std::to_string(count) + " " + one + (count == 1 ? "" : "s");
        };
        const unsigned long long most = std::numeric_limits<unsigned long long>::max();
        const std::string tests = points <= most / per_point ? std::to_string(points * per_point)
                                                             : "more than " + std::to_string(most);
        throw UsageError(what + ": " + std::to_string(sample_points) + " sample points x " +
                         (cost.lights == 0 ? std::string("no light (counted as one)")
                                           : counted(cost.lights, "light")) +
                         " x (1 + " + counted(cost.planes, "plane") + ") = " + tests +
                         " light tests, more than " + std::to_string(limits.light_tests) + lift);
    }
}

void check_work(long long most_samples, long long sample_points, const PointCost& cost,
                const std::string& what, bool allow_long) {
    if (allow_long) return;
    check_work(most_samples, sample_points, cost, 0, what, WorkLimits{});
}

LoadedScene requested_scene(const ShadingRequest& request) {
    LoadedScene loaded = load_scene(request.scene_path, request.stage);
    const ImageSize size = image_size(loaded.scene, request.width, request.height);
    loaded.scene.width = size.width;
    loaded.scene.height = size.height;
    return loaded;
}

ShadeSettings shade_settings(const ShadingRequest& request) {
    ShadeSettings settings;
    settings.lanes = request.lanes;
    settings.threads = request.threads;
    settings.pixel_samples = request.pixel_samples;
    settings.shared_node = request.shared_node;
    return settings;
}

ShadingSetup ShadingSetup::make(const ShadingRequest& request, const CommandSettings& settings,
                                CommandOutput& output) {
    std::shared_ptr<const PreparedScene> prepared;
    std::optional<LoadedScene> loaded;
    ImageSize size;
    if (settings.scenes != nullptr) {
        prepared = settings.scenes->get(request.scene_path, request.stage).scene;
        size = image_size(prepared->loaded.scene, request.width, request.height);
    } else {
        loaded = requested_scene(request);
        size = {loaded->scene.width, loaded->scene.height};
    }
    ImageOutput image_file(request.output, request.format, settings.stdout_is_terminal,
                           request.look);
    image_file.refuse_files_read(
        files_read_by(request.module, request.scene_path,
                      prepared ? prepared->loaded.scene.mesh_files : loaded->scene.mesh_files));
    CommandSession command_session(request.module, request.trust, settings);
    // The hierarchy is built once the module is known to start: a bad module is said at once.
    if (!prepared) prepared = std::make_shared<const PreparedScene>(std::move(*loaded));
    auto run = std::make_unique<ShadingRun>(command_session.get(), std::move(prepared), size,
                                            request.assignments, request.view);
    const Description& description = command_session.get().description();
    const long long samples = samples_per_point(description, run->values());
    check_work(samples,
               samples * request.pixel_samples * static_cast<long long>(size.width) * size.height,
               point_cost(run->scene()),
               "samples=" + std::to_string(samples) + " at " + std::to_string(size.width) + "x" +
                   std::to_string(size.height) +
                   (request.pixel_samples > 1
                        ? ", " + std::to_string(request.pixel_samples) + " pixel samples"
                        : std::string()),
               request.allow_long);
    say_scene_notes(*run, request.assignments, output);
    if (const auto reach = reach_warning(description, run->values(), run->scene())) {
        output.warning(*reach);
    }
    return ShadingSetup(std::move(image_file), std::move(command_session), std::move(run),
                        settings);
}

ShadingSetup::ShadingSetup(ImageOutput output, CommandSession command_session,
                           std::unique_ptr<ShadingRun> run, const CommandSettings& settings)
    : image_file(std::move(output)),
      command_session_(std::move(command_session)),
      run_(std::move(run)),
      loaded(run_->loaded()),
      scene(run_->scene()),
      values(run_->values()),
      watch_(settings.watch),
      keep_image_(settings.keep_image),
      host_work_(settings.host_work) {}

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
    return run_->shade(node_values, settings_for(request), image, progress, watch_, work_before,
                       row_cost);
}

ShadeSettings ShadingSetup::settings_for(const ShadingRequest& request) const {
    ShadeSettings settings = shade_settings(request);
    settings.host_work = host_work_;
    return settings;
}

namespace {

// The value of a real parameter by its short name: the one given, else its default.
std::optional<float> real_value(const Description& description, const ParameterValues& values,
                                const char* name) {
    const std::optional<ParameterValue> value =
        value_in_effect(description, values, name, ParameterType::real);
    return value ? std::optional<float>(value->real) : std::nullopt;
}

}  // namespace

std::optional<std::string> reach_warning(const Description& description,
                                         const ParameterValues& values, const Scene& scene) {
    const std::optional<double> extent = scene_extent(scene);
    if (!extent || !(*extent > 0.0)) return std::nullopt;
    const std::optional<float> distance = real_value(description, values, shader_names::kDistance);
    const std::optional<float> offset = real_value(description, values, shader_names::kOffset);
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

void say_scene_notes(const ShadingRun& run, const std::vector<std::string>& assignments,
                     CommandOutput& output) {
    for (const std::string& note : run.scene().notes) output.warning(note);
    if (const auto reach =
            stage_reach_line(run.session().description(), run.loaded(), assignments)) {
        output.note(*reach);
    }
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
