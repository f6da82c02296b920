// tonemix-host sheet: one tile per value of a parameter (a grid for two), each a render of the
// scene with that value over the shared ones, lettered into one image.
#include <algorithm>
#include <memory>

#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/commands/contact_sheet.h"
#include "host/commands/image_output.h"
#include "host/commands/scene_shading.h"
#include "host/core/text_format.h"
#include "host/render/render_error.h"

namespace tmhost {

namespace {

constexpr int kMaxAxes = 2;
constexpr int kMaxValuesPerAxis = 32;
const char* const kDefaultOutput = "tonemix-sheet.png";

std::string tiles_text(std::size_t tiles) {
    return std::to_string(tiles) + (tiles == 1 ? " tile" : " tiles");
}

// One --vary: the parameter and its values, checked as --set checks a value.
struct Axis {
    const Parameter* parameter = nullptr;
    std::vector<ParameterValue> values;
    std::vector<std::string> labels;  // "samples = 8"
};

std::string value_shown(const ParameterValue& value) {
    const Parameter& parameter = *value.parameter;
    for (const ParameterChoice& choice : parameter.choices) {
        if (choice.value == value.word) return choice.label;
    }
    switch (parameter.type) {
    case ParameterType::real:
        return real_text(value.real);
    case ParameterType::boolean:
        return value.word != 0 ? "true" : "false";
    default:
        return std::to_string(value.word);
    }
}

std::string assignment_shown(const ParameterValue& value) {
    return value.parameter->short_name + " = " + value_shown(value);
}

Axis read_axis(const std::string& vary, const ParameterValues& values) {
    const std::string where = "--vary " + vary;
    const std::size_t equals = vary.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw RenderError(where + ": expected NAME=VALUE,VALUE,...");
    }
    Axis axis;
    axis.parameter = &values.settable(vary.substr(0, equals), where);
    const std::string list = vary.substr(equals + 1);
    std::size_t start = 0;
    for (int index = 1;; ++index) {
        const std::size_t comma = list.find(',', start);
        const std::string text =
            list.substr(start, comma == std::string::npos ? comma : comma - start);
        if (text.empty()) {
            throw RenderError(where + ": value " + std::to_string(index) + " is empty");
        }
        if (index > kMaxValuesPerAxis) {
            throw RenderError(where + ": more than " + std::to_string(kMaxValuesPerAxis) +
                              " values");
        }
        const ParameterValue value =
            check_parameter_value(*axis.parameter, parse_set_value(text), where);
        axis.values.push_back(value);
        axis.labels.push_back(assignment_shown(value));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return axis;
}

std::vector<Axis> read_axes(const CommandLine& line, const ParameterValues& values) {
    const std::vector<std::string> varies = line.values("--vary");
    if (varies.empty()) {
        throw RenderError("sheet: expected --vary NAME=VALUE,VALUE,... (the names: see describe)");
    }
    if (varies.size() > static_cast<std::size_t>(kMaxAxes)) {
        throw RenderError("--vary: at most " + std::to_string(kMaxAxes) +
                          " parameters (a grid), not " + std::to_string(varies.size()));
    }
    std::vector<Axis> axes;
    for (const std::string& vary : varies) {
        Axis axis = read_axis(vary, values);
        for (const Axis& earlier : axes) {
            if (earlier.parameter == axis.parameter) {
                throw RenderError("--vary " + vary + ": " + axis.parameter->short_name +
                                  " is varied twice");
            }
        }
        // A value given by --set too would be dropped for the varied ones without a word.
        for (const std::string& assignment : line.values("--set")) {
            const std::string name = assignment.substr(0, assignment.find('='));
            if (&values.settable(name, "--set " + assignment) == axis.parameter) {
                throw RenderError("--vary " + vary + ": " + axis.parameter->short_name +
                                  " is also given by --set " + assignment + "; give it one way");
            }
        }
        axes.push_back(std::move(axis));
    }
    return axes;
}

// The scene, the tiles and every value the tiles share that is not the shader's default.
std::vector<std::string> caption(const LoadedScene& loaded, const ParameterValues& values,
                                 const std::vector<Axis>& axes, std::size_t tiles) {
    const Scene& scene = loaded.scene;
    std::string shared;
    for (const ParameterValue& value : values.values()) {
        bool varied = false;
        for (const Axis& axis : axes) varied = varied || axis.parameter == value.parameter;
        if (!varied) shared += (shared.empty() ? "" : ", ") + assignment_shown(value);
    }
    if (scene.light_list) {
        std::string names;
        for (int light : scene.light_list->lights) {
            names +=
                (names.empty() ? "" : " ") + scene.lights[static_cast<std::size_t>(light)].name;
        }
        shared += (shared.empty() ? "" : ", ") + std::string("lights = ") +
                  (names.empty() ? "(none)" : names);
    }
    return {
        loaded.label + ": " + tiles_text(tiles) + " of " + std::to_string(scene.width) + "\u00d7" +
            std::to_string(scene.height),
        shared.empty() ? "every other value at the shader's default"
                       : shared + "; every other value at the shader's default",
    };
}

std::string summary(const ContactSheet& sheet, std::size_t tiles, const RenderStats& stats,
                    const std::string& path) {
    const double rate = stats.seconds > 0.0 ? stats.points / stats.seconds : 0.0;
    return "sheet of " + tiles_text(tiles) + ": " + std::to_string(stats.points) +
           " points shaded in " + fixed_text(stats.seconds, 2) + " s (" + fixed_text(rate, 0) +
           " points/s); " + std::to_string(sheet.width()) + "x" + std::to_string(sheet.height()) +
           " image written to " + path;
}

int sheet(const CommandArguments& arguments, const CommandSettings& settings,
          CommandOutput& output) {
    const CommandLine line(arguments, sheet_options(), "scene file");
    const ShadingRequest request = shading_request(line, settings, kDefaultOutput);
    if (request.help) {
        for (std::string& text : usage_lines("sheet")) output.out(std::move(text));
        return EXIT_CLEAN;
    }
    ShadingSetup setup = ShadingSetup::make(request, settings);
    if (const auto reach =
            reach_warning(setup.session().description(), setup.values, setup.scene)) {
        output.warning(*reach);
    }
    const Scene& scene = setup.scene;
    const ParameterValues& shared = setup.values;
    // Every value is checked before the first tile renders.
    const std::vector<Axis> axes = read_axes(line, shared);

    SheetLayout layout;
    layout.columns = static_cast<int>(axes[0].values.size());
    layout.rows = axes.size() > 1 ? static_cast<int>(axes[1].values.size()) : 1;
    layout.tile_width = scene.width;
    layout.tile_height = scene.height;
    for (int row = 0; row < layout.rows; ++row) {
        for (int column = 0; column < layout.columns; ++column) {
            std::vector<std::string> label = {axes[0].labels[static_cast<std::size_t>(column)]};
            if (axes.size() > 1) label.push_back(axes[1].labels[static_cast<std::size_t>(row)]);
            layout.labels.push_back(std::move(label));
        }
    }
    const std::size_t tiles = layout.labels.size();
    // The work of every tile together, before the first renders.
    long long most_samples = 0;
    long long sample_points = 0;
    std::vector<long long> tile_samples;  // each tile's samples a point: what a row of it costs
    for (int row = 0; row < layout.rows; ++row) {
        for (int column = 0; column < layout.columns; ++column) {
            ParameterValues values = shared;
            values.set(axes[0].values[static_cast<std::size_t>(column)]);
            if (axes.size() > 1) values.set(axes[1].values[static_cast<std::size_t>(row)]);
            const long long samples = samples_per_point(setup.session().description(), values);
            tile_samples.push_back(samples * request.pixel_samples);
            most_samples = std::max(most_samples, samples);
            sample_points += samples * request.pixel_samples * static_cast<long long>(scene.width) *
                             scene.height;
        }
    }
    check_work(most_samples, sample_points,
               std::to_string(tiles) + " tiles of " + std::to_string(scene.width) + "x" +
                   std::to_string(scene.height),
               request.allow_long);
    layout.caption = caption(setup.loaded, shared, axes, tiles);
    ContactSheet contact_sheet(layout);

    // The time left counts the work of the tiles left: a tile of 64 samples takes as long as 64
    // tiles of 1.
    ProgressBar progress(sample_points / scene.width, settings.show_progress);
    long long work_before = 0;
    setup.expect_rows(static_cast<long>(tiles) * scene.height);
    RenderStats total;
    Image tile(scene.width, scene.height);
    for (int row = 0; row < layout.rows; ++row) {
        for (int column = 0; column < layout.columns; ++column) {
            ParameterValues values = shared;
            values.set(axes[0].values[static_cast<std::size_t>(column)]);
            if (axes.size() > 1) values.set(axes[1].values[static_cast<std::size_t>(row)]);
            const long long cost =
                tile_samples[static_cast<std::size_t>(row * layout.columns + column)];
            const RenderStats stats =
                setup.shade(values, request, tile, progress, work_before, cost);
            if (stats.cancelled) throw RenderError("the sheet was cancelled");
            work_before += cost * scene.height;
            total.points += stats.points;
            total.lit_points += stats.lit_points;
            total.seconds += stats.seconds;
            contact_sheet.place(column, row, tile);
        }
    }
    progress.finish();
    return setup.finish(contact_sheet.image(), total,
                        summary(contact_sheet, tiles, total, setup.image_file.where()), output);
}

}  // namespace

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
                                          std::to_string(kMaxValuesPerAxis) +
                                          " values; once for a row, twice for a grid";
        options.insert(options.begin() + 4,
                       {"--vary", nullptr, true, true, "NAME=VALUE,...", values.c_str(),
                        "render one tile per value of the parameter NAME"});
        return options;
    }();
    return rules;
}

CommandOutput run_sheet(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_reporting_errors("sheet", sheet, arguments, settings);
}

}  // namespace tmhost
