// tonemix-host sheet: one tile per value of a parameter (a grid for two), each a render of the
// scene with that value over the shared ones, lettered into one image.
#include <algorithm>
#include <memory>

#include "host/commands/command.h"
#include "host/commands/command_bodies.h"
#include "host/commands/command_error.h"
#include "host/commands/command_line.h"
#include "host/commands/contact_sheet.h"
#include "host/commands/image_output.h"
#include "host/commands/scene_shading.h"
#include "host/commands/sheet_job.h"
#include "host/core/text_format.h"

namespace tmhost {

namespace {

const char* const kDefaultOutput = "tonemix-sheet.png";

std::string summary(const Image& sheet, std::size_t tiles, const RenderStats& stats,
                    const std::string& path) {
    const double rate = stats.seconds > 0.0 ? stats.points / stats.seconds : 0.0;
    return "sheet of " + tiles_text(tiles) + ": " + std::to_string(stats.points) +
           " points shaded in " + fixed_text(stats.seconds, 2) + " s (" + fixed_text(rate, 0) +
           " points/s); " + std::to_string(sheet.width()) + "x" + std::to_string(sheet.height()) +
           " image written to " + path;
}

}  // namespace

int sheet_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output) {
    const ShadingRequest request = shading_request(line, settings, kDefaultOutput);
    ShadingSetup setup = ShadingSetup::make(request, settings, output);
    // Every value is checked, and the work of every tile together, before the first renders.
    const WorkLimits limits;
    const SheetJob job(setup.run(), line.values("--vary"), request.assignments,
                       request.pixel_samples, request.allow_long ? nullptr : &limits);
    // The time left counts the work of the tiles left: a tile of 64 samples takes as long as 64
    // tiles of 1.
    ProgressBar progress(job.sample_points() / setup.scene.width, settings.show_progress);
    RenderStats total;
    const Image sheet_image =
        job.shade(setup.settings_for(request), progress, setup.watch(), total);
    if (total.cancelled) throw HostError("the sheet was cancelled");
    progress.finish();
    return setup.finish(sheet_image, total,
                        summary(sheet_image, job.tiles(), total, setup.image_file.where()), output);
}

const std::vector<OptionRule>& sheet_options() {
    static const std::vector<OptionRule> rules = [] {
        std::vector<OptionRule> options =
            shading_options(TMHOST_IMAGE_FORMATS_DEFAULT("tonemix-sheet.png"));
        // The size options set each tile's size, not the sheet's.
        for (OptionRule& rule : options) {
            if (std::string(rule.name) == "--width") rule.help = "each tile's width in pixels";
            if (std::string(rule.name) == "--height") rule.help = "each tile's height in pixels";
        }
        static const std::string values = "a value as --set takes it; 1 to " +
                                          std::to_string(kMaxSheetValuesPerAxis) +
                                          " values; once for a row, twice for a grid";
        options.insert(options.begin() + 4,
                       OptionRule::valued("--vary", "NAME=VALUE,...",
                                          "render one tile per value of the parameter NAME")
                           .with_values(values.c_str())
                           .repeated());
        return options;
    }();
    return rules;
}

}  // namespace tmhost
