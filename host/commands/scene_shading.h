// What render and sheet share: the options that say how a scene is shaded and where the image
// goes, and the shading of one image with the module's shader for one set of values.
#ifndef TMHOST_SCENE_SHADING_H
#define TMHOST_SCENE_SHADING_H

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/commands/camera_options.h"
#include "host/commands/command.h"
#include "host/commands/image_output.h"
#include "host/core/point_light_renderer.h"
#include "host/image/image.h"
#include "host/loading/module_session.h"
#include "host/render/parameter_values.h"
#include "host/render/pixel_samples.h"
#include "host/render/progress_bar.h"
#include "host/render/scene_lights.h"
#include "host/render/scene_renderer.h"
#include "host/render/scene_source.h"
#include "host/render/shading_run.h"
#include "host/scene/tracer.h"

namespace tmhost {

struct ShadingRequest {
    std::optional<std::string> scene_path;
    std::string output;                 // "-": standard output
    std::optional<std::string> format;  // --format, over the output's extension
    ImageLook look;                     // --exposure, --tonemap
    std::optional<int> width;
    std::optional<int> height;
    std::vector<std::string> assignments;  // --set NAME=VALUE
    int lanes = 0;
    int threads = 1;
    int pixel_samples = 1;  // camera rays a pixel, averaged
    bool shared_node = false;
    ModuleSession::Trust trust = ModuleSession::Trust::checked;
    std::string module;
    bool allow_long = false;  // --allow-long: past the limits of the work a render may ask for
    StageOptions stage;       // --up, --camera-index
    CameraView view;          // --camera-orbit, --camera-zoom, --camera-pan
};

// What a preview host shades without being told to go further: whatever a description's range
// allows, a render asking for more is refused before it starts (--allow-long goes past).
constexpr long long kMostSamplesPerPoint = 65536;
constexpr long long kMostSamplePoints = 1LL << 32;
// Each sample point asks for the light of every light of the scene, and each light's shadow
// segment is tested against every plane (planes are not in the hierarchy, being endless): so
// many lights or planes make even a small image endless work. A light test is one light's light
// at one sample point, its shadow through the hierarchy and each plane. Eight a sample point at
// the most sample points: every example scene (three lights and a plane at most) keeps the
// sample points it had.
constexpr long long kMostLightTests = 1LL << 35;

// What one sample point costs in `scene`: lights (at least one: a point without them is shaded
// all the same) times (1 + planes).
struct PointCost {
    long long lights = 0;
    long long planes = 0;
    // Saturates at the largest long long, which no limit reaches.
    long long light_tests() const {
        const long long per_light = std::max(lights, 1LL);
        const long long most = std::numeric_limits<long long>::max();
        return planes >= most / per_light ? most : per_light * (1 + planes);
    }
};
PointCost point_cost(const Scene& scene);

// The samples of each shaded point a node with `values` takes: the value of the shader's
// "samples" parameter, given or its default; 1 for a shader without one.
long long samples_per_point(const Description& description, const ParameterValues& values);
// Throws UsageError unless `allow_long`, when one tile's point asks for more than
// kMostSamplesPerPoint samples, or all tiles together (each pixels x pixel samples x its samples)
// for more than kMostSamplePoints, or those sample points of `cost` for more than
// kMostLightTests. `what` names the work: "samples=100000", "4 tiles of 640x480".
void check_work(long long most_samples, long long sample_points, const PointCost& cost,
                const std::string& what, bool allow_long);

// The formats an image file may have, and the default file, for --output's help.
#define TMHOST_IMAGE_FORMATS_DEFAULT(file)                                               \
    ".png (8-bit), .pfm or .exr (floats) by the extension in any letter case, or - for " \
    "standard output; default: " file

// The rules of the options below, as render takes them; `output_values` is --output's help on
// its values (TMHOST_IMAGE_FORMATS_DEFAULT), a text that lives as long as the program.
std::vector<OptionRule> shading_options(const char* output_values);
// The threads a render takes when not told: one per core, at most 64.
int default_render_threads();

// Reads those options from a line parsed with rules that include them.
ShadingRequest shading_request(const CommandLine& line, const CommandSettings& settings,
                               const std::string& output_default);

// The work a render may ask for before --allow-long (serve's --allow-long): at most `samples` a
// shaded point, `sample_points` in all (pixels x pixel samples x samples a point), `light_tests`
// in all (sample points x PointCost::light_tests()) and `pixels` an image or a tile.
struct WorkLimits {
    long long samples = kMostSamplesPerPoint;
    long long sample_points = kMostSamplePoints;
    long long light_tests = kMostLightTests;
    long long pixels = kMaxImagePixels;
    const char* lifted_by = "--allow-long";  // named in the refusal
};

// The limits of a preview server's request, lower than the command line's: one request of a
// page must not take the machine for an hour.
WorkLimits serve_work_limits();

// Throws UsageError, naming `what`, when the work asks for more than `limits` allow: "samples=8
// at 1280x960: 9830400 sample points x 5000 lights x (1 + 1 plane) = 98304000000 light tests, more
// than 34359738368 (--allow-long shades it anyway)".
void check_work(long long most_samples, long long sample_points, const PointCost& cost,
                long long pixels, const std::string& what, const WorkLimits& limits);

// The scene of the request with --width and --height applied; one of them alone keeps the
// scene's shape. Throws RenderError for an image beyond the side or pixel limits.
LoadedScene requested_scene(const ShadingRequest& request);

// The ShadeSettings of a request: its lanes, threads, pixel samples and shared node.
ShadeSettings shade_settings(const ShadingRequest& request);

// What a command has made ready before it shades anything: the scene, its output file checked,
// the module started with its shader checked, the scene's lights, the values of the scene and
// --set, and the tracer and light renderer every image of the command shades against.
class ShadingSetup {
public:
    // Makes each of those ready in that order, so that no light of the scene is set up for a
    // module whose shader fails its checks, and says what a command says of its scene before it
    // shades (say_scene_notes, reach_warning) in `output`. Throws as each step does.
    static ShadingSetup make(const ShadingRequest& request, const CommandSettings& settings,
                             CommandOutput& output);
    ShadingSetup(const ShadingSetup&) = delete;
    ShadingSetup& operator=(const ShadingSetup&) = delete;

    const ImageOutput image_file;

private:
    CommandSession command_session_;
    const std::unique_ptr<ShadingRun> run_;

public:
    ModuleSession& session() const { return command_session_.get(); }
    const LoadedScene& loaded;
    const Scene& scene;
    const ParameterValues& values;

    // Shades the image (sized as the scene's) with fresh nodes of the session's shader holding
    // `values`. The progress bar counts its rows, each `row_cost`, after `work_before`.
    RenderStats shade(const ParameterValues& node_values, const ShadingRequest& request,
                      Image& image, ProgressBar& progress, long long work_before = 0,
                      long long row_cost = 1);

    const ShadingRun& run() const { return *run_; }
    // How the request's images are shaded, the host lock of the command's settings among it.
    ShadeSettings settings_for(const ShadingRequest& request) const;
    RenderWatch* watch() const { return watch_; }

    // Tells the settings' watch, if any, how many rows the command shades in all.
    void expect_rows(long rows) {
        if (watch_ != nullptr) watch_->total_rows = rows;
    }

    // Ends the module's life (unless the session is shared), then writes the image (or hands it
    // over, with CommandSettings::keep_image) and reports: what the module left behind, the
    // warnings of an unlit image and the summary (on stderr when the image took stdout). Answers
    // the command's exit code.
    int finish(const Image& image, const RenderStats& stats, const std::string& summary,
               CommandOutput& output);

private:
    ShadingSetup(ImageOutput output, CommandSession command_session,
                 std::unique_ptr<ShadingRun> run, const CommandSettings& settings);

    RenderWatch* const watch_;
    const bool keep_image_;
    std::mutex* const host_work_;
};

// The shader's reach must fit the scene: its sample points spread `distance` from a point lifted
// `offset` along its normal. A scene a few units across under the module's defaults (made for
// scenes many units across) shows no shadow and only grain, and nothing else would say why. One
// line when distance is more than kReachPerExtent times the scene's extent (scene_extent.h) or
// offset more than half of it, naming the values and the extent and suggesting values in the
// proportions of the example scenes; none for a scene of planes alone.
constexpr double kReachPerExtent = 5.0;
std::optional<std::string> reach_warning(const Description& description,
                                         const ParameterValues& values, const Scene& scene);

// What a command says of its scene before it shades: what reading its meshes mended or left
// out, and for a model file the distance and offset its stage chose. Warnings, at once.
void say_scene_notes(const ShadingRun& run, const std::vector<std::string>& assignments,
                     CommandOutput& output);

// The one-line warnings of a render whose image shows nothing of the shader.
void warn_if_unlit(const RenderStats& stats, CommandOutput& output);

// "12.34"
std::string fixed_text(double value, int decimals);

}  // namespace tmhost

#endif
