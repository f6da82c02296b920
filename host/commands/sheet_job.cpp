#include "host/commands/sheet_job.h"

#include <algorithm>

#include "host/commands/command_error.h"
#include "host/core/text_format.h"

namespace tmhost {

namespace {

constexpr int kMaxAxes = 2;

std::string tiles_text(std::size_t tiles) {
    return std::to_string(tiles) + (tiles == 1 ? " tile" : " tiles");
}

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
        throw UsageError(where + ": expected NAME=VALUE,VALUE,...");
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
            throw UsageError(where + ": value " + std::to_string(index) + " is empty");
        }
        if (index > kMaxSheetValuesPerAxis) {
            throw UsageError(where + ": more than " + std::to_string(kMaxSheetValuesPerAxis) +
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

std::vector<Axis> read_axes(const std::vector<std::string>& varies,
                            const std::vector<std::string>& sets, const ParameterValues& values) {
    if (varies.empty()) {
        throw UsageError("sheet: expected --vary NAME=VALUE,VALUE,... (the names: see describe)");
    }
    if (varies.size() > static_cast<std::size_t>(kMaxAxes)) {
        throw UsageError("--vary: at most " + std::to_string(kMaxAxes) +
                         " parameters (a grid), not " + std::to_string(varies.size()));
    }
    std::vector<Axis> axes;
    for (const std::string& vary : varies) {
        Axis axis = read_axis(vary, values);
        for (const Axis& earlier : axes) {
            if (earlier.parameter == axis.parameter) {
                throw UsageError("--vary " + vary + ": " + axis.parameter->short_name +
                                 " is varied twice");
            }
        }
        // A value given by --set too would be dropped for the varied ones without a word.
        for (const std::string& assignment : sets) {
            const std::string name = assignment.substr(0, assignment.find('='));
            if (&values.settable(name, "--set " + assignment) == axis.parameter) {
                throw UsageError("--vary " + vary + ": " + axis.parameter->short_name +
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

}  // namespace

std::string tiles_text(std::size_t tiles) {
    return std::to_string(tiles) + (tiles == 1 ? " tile" : " tiles");
}

SheetJob::SheetJob(const ShadingRun& run, const std::vector<std::string>& varies,
                   const std::vector<std::string>& sets, int pixel_samples,
                   const WorkLimits* limits)
    : run_(run), axes_(read_axes(varies, sets, run.values())) {
    const Scene& scene = run.scene();
    layout_.columns = static_cast<int>(axes_[0].values.size());
    layout_.rows = axes_.size() > 1 ? static_cast<int>(axes_[1].values.size()) : 1;
    layout_.tile_width = scene.width;
    layout_.tile_height = scene.height;
    for (int row = 0; row < layout_.rows; ++row) {
        for (int column = 0; column < layout_.columns; ++column) {
            std::vector<std::string> label = {axes_[0].labels[static_cast<std::size_t>(column)]};
            if (axes_.size() > 1) label.push_back(axes_[1].labels[static_cast<std::size_t>(row)]);
            layout_.labels.push_back(std::move(label));
        }
    }
    // The work of every tile together, before the first renders.
    long long most_samples = 0;
    for (int row = 0; row < layout_.rows; ++row) {
        for (int column = 0; column < layout_.columns; ++column) {
            const long long samples =
                samples_per_point(run.session().description(), tile_values(column, row));
            tile_costs_.push_back(samples * pixel_samples);
            most_samples = std::max(most_samples, samples);
            sample_points_ +=
                samples * pixel_samples * static_cast<long long>(scene.width) * scene.height;
        }
    }
    if (limits != nullptr) {
        check_work(most_samples, sample_points_, point_cost(scene),
                   static_cast<long long>(scene.width) * scene.height,
                   std::to_string(tiles()) + " tiles of " + std::to_string(scene.width) + "x" +
                       std::to_string(scene.height),
                   *limits);
    }
    layout_.caption = caption(run.loaded(), run.values(), axes_, tiles());
}

ParameterValues SheetJob::tile_values(int column, int row) const {
    ParameterValues values = run_.values();
    values.set(axes_[0].values[static_cast<std::size_t>(column)]);
    if (axes_.size() > 1) values.set(axes_[1].values[static_cast<std::size_t>(row)]);
    return values;
}

Image SheetJob::shade(const ShadeSettings& settings, ProgressBar& progress, RenderWatch* watch,
                      RenderStats& total) const {
    const Scene& scene = run_.scene();
    if (watch != nullptr) watch->total_rows = static_cast<long>(tiles()) * scene.height;
    ContactSheet contact_sheet(layout_);
    long long work_before = 0;
    Image tile(scene.width, scene.height);
    for (int row = 0; row < layout_.rows; ++row) {
        for (int column = 0; column < layout_.columns; ++column) {
            const long long cost =
                tile_costs_[static_cast<std::size_t>(row * layout_.columns + column)];
            const RenderStats stats = run_.shade(tile_values(column, row), settings, tile, progress,
                                                 watch, work_before, cost);
            total.points += stats.points;
            total.lit_points += stats.lit_points;
            total.seconds += stats.seconds;
            if (stats.cancelled) {
                total.cancelled = true;
                return contact_sheet.image();
            }
            work_before += cost * scene.height;
            contact_sheet.place(column, row, tile);
        }
    }
    return contact_sheet.image();
}

}  // namespace tmhost
