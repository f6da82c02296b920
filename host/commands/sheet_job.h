// A contact sheet of a scene: one tile per value of a parameter (a grid for two), each a render of
// the run's scene with that value over the shared ones, lettered into one image. The sheet command
// and serve's page make them alike.
#ifndef TMHOST_SHEET_JOB_H
#define TMHOST_SHEET_JOB_H

#include <string>
#include <vector>

#include "host/commands/contact_sheet.h"
#include "host/commands/scene_shading.h"
#include "host/image/image.h"
#include "host/render/shading_run.h"

namespace tmhost {

constexpr int kMaxSheetValuesPerAxis = 32;

// "1 tile", "4 tiles"
std::string tiles_text(std::size_t tiles);

// One --vary: the parameter and its values, checked as --set checks a value.
struct Axis {
    const Parameter* parameter = nullptr;
    std::vector<ParameterValue> values;
    std::vector<std::string> labels;  // "samples = 8"
};

class SheetJob {
public:
    // Reads the axes (`varies`: each --vary's NAME=VALUE,VALUE,...) against the run's values;
    // `sets`, the --set assignments, must not name a varied parameter. Checks the work of every
    // tile together against `limits` (none: no limit). Throws UsageError, or RenderError as
    // the values do.
    SheetJob(const ShadingRun& run, const std::vector<std::string>& varies,
             const std::vector<std::string>& sets, int pixel_samples, const WorkLimits* limits);

    std::size_t tiles() const { return layout_.labels.size(); }
    // Every tile's pixels x pixel samples x samples a point: the sheet's work.
    long long sample_points() const { return sample_points_; }

    // Shades the tiles in order and letters them into the sheet; adds their figures to `total`.
    // A render the watch cancels ends the sheet with total.cancelled set and the image not whole.
    Image shade(const ShadeSettings& settings, ProgressBar& progress, RenderWatch* watch,
                RenderStats& total) const;

private:
    ParameterValues tile_values(int column, int row) const;

    const ShadingRun& run_;
    std::vector<Axis> axes_;
    SheetLayout layout_;
    std::vector<long long> tile_costs_;  // each tile's samples a point: what a row of it costs
    long long sample_points_ = 0;
};

}  // namespace tmhost

#endif
