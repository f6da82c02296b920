#include "host/commands/command.h"
#include "host/commands/command_bodies.h"
#include "host/commands/command_error.h"
#include "host/commands/command_line.h"
#include "host/commands/image_output.h"
#include "host/commands/scene_shading.h"
#include "host/image/image.h"
#include "host/loading/module_session.h"

namespace tmhost {

namespace {

const char* const kDefaultOutput = "tonemix.png";

std::string summary(const Image& image, const RenderStats& stats, const std::string& path) {
    const double rate = stats.seconds > 0.0 ? stats.points / stats.seconds : 0.0;
    return "rendered " + std::to_string(image.width()) + "x" + std::to_string(image.height()) +
           ": " + std::to_string(stats.points) + " points shaded in " +
           fixed_text(stats.seconds, 2) + " s (" + fixed_text(rate, 0) +
           " points/s); image written to " + path;
}

}  // namespace

int render_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output) {
    const ShadingRequest request = shading_request(line, settings, kDefaultOutput);
    ShadingSetup setup = ShadingSetup::make(request, settings, output);
    const Scene& scene = setup.scene;
    Image image(scene.width, scene.height);
    ProgressBar progress(scene.height, settings.show_progress);
    setup.expect_rows(scene.height);
    const RenderStats stats = setup.shade(setup.values, request, image, progress);
    progress.finish();
    if (stats.cancelled) throw HostError("the render was cancelled");
    return setup.finish(image, stats, summary(image, stats, setup.image_file.where()), output);
}

const std::vector<OptionRule>& render_options() {
    static const std::vector<OptionRule> rules =
        shading_options(TMHOST_IMAGE_FORMATS_DEFAULT("tonemix.png"));
    return rules;
}

}  // namespace tmhost
