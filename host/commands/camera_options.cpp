#include "host/commands/camera_options.h"

#include <limits>

#include "host/commands/command_error.h"
#include "host/scene/obj_numbers.h"

namespace tmhost {

namespace {

// The texts outlive the rules, as their pointers need.
const std::string& orbit_values() {
    static const std::string text =
        "AZ from -3600 to 3600, EL from -180 to 180; the elevation stops short of the up axis; "
        "default: 0,0";
    return text;
}

// `text`, one number of the option's value `whole`, which the message shows.
double number_in(const std::string& text, double lowest, double highest, const std::string& where,
                 const std::string& expected, const std::string& whole) {
    const double value =
        is_decimal(text) ? decimal_value(text) : std::numeric_limits<double>::quiet_NaN();
    if (!(value >= lowest && value <= highest)) {
        throw UsageError(where + ": expected " + expected + ", got '" + whole + "'");
    }
    return value;
}

// "A,B" as two texts.
std::pair<std::string, std::string> pair_of(const std::string& text, const std::string& where,
                                            const std::string& expected) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos) {
        throw UsageError(where + ": expected " + expected + ", got '" + text + "'");
    }
    return {text.substr(0, comma), text.substr(comma + 1)};
}

}  // namespace

std::vector<OptionRule> camera_option_rules() {
    return {
        OptionRule::valued(
            "--up", "AXIS",
            "a model file's up axis: z for files from CAD and scanning tools that stand models on "
            "the xy plane")
            .with_values("y or z; default: y"),
        OptionRule::valued("--camera-index", "N", "which camera of a glTF file to look through")
            .with_values("0 or more; default: the file's first"),
        OptionRule::valued(
            "--camera-orbit", "AZ,EL",
            "turn the camera about its target by AZ degrees about the up axis and EL degrees "
            "toward it")
            .with_values(orbit_values().c_str()),
        OptionRule::valued("--camera-zoom", "F",
                           "move the camera toward its target, to 1/F of the distance")
            .with_values("0.001 to 1000; default: 1"),
        OptionRule::valued("--camera-pan", "X,Y",
                           "move camera and target together by X and Y view heights, right and up")
            .with_values("each -100 to 100; default: 0,0"),
    };
}

void read_orbit(const std::string& text, const std::string& where, CameraView& view) {
    const std::string expected = "AZ,EL in degrees (AZ within 3600, EL within 180)";
    const auto [azimuth, elevation] = pair_of(text, where, expected);
    view.azimuth = number_in(azimuth, -kMostAzimuth, kMostAzimuth, where, expected, text);
    view.elevation =
        number_in(elevation, -kMostElevationChange, kMostElevationChange, where, expected, text);
}

void read_zoom(const std::string& text, const std::string& where, CameraView& view) {
    view.zoom = number_in(text, kLeastZoom, kMostZoom, where, "a factor from 0.001 to 1000", text);
}

void read_pan(const std::string& text, const std::string& where, CameraView& view) {
    const std::string expected = "X,Y in view heights, each from -100 to 100";
    const auto [right, up] = pair_of(text, where, expected);
    view.pan_right = number_in(right, -kMostPan, kMostPan, where, expected, text);
    view.pan_up = number_in(up, -kMostPan, kMostPan, where, expected, text);
}

UpAxis read_up(const std::string& text, const std::string& where) {
    if (text == "y" || text == "Y") return UpAxis::y;
    if (text == "z" || text == "Z") return UpAxis::z;
    throw UsageError(where + ": expected y or z, got '" + text + "'");
}

StageOptions stage_options(const CommandLine& line) {
    StageOptions stage;
    if (const auto up = line.value("--up")) stage.up = read_up(*up, "--up");
    stage.camera_index = line.integer("--camera-index", 0, 1 << 20);
    return stage;
}

CameraView camera_view(const CommandLine& line) {
    CameraView view;
    if (const auto orbit = line.value("--camera-orbit")) {
        read_orbit(*orbit, "--camera-orbit", view);
    }
    if (const auto zoom = line.value("--camera-zoom")) read_zoom(*zoom, "--camera-zoom", view);
    if (const auto pan = line.value("--camera-pan")) read_pan(*pan, "--camera-pan", view);
    return view;
}

std::vector<std::string> stage_arguments(const StageOptions& stage) {
    std::vector<std::string> arguments;
    if (stage.up == UpAxis::z) arguments.insert(arguments.end(), {"--up", "z"});
    if (stage.camera_index) {
        arguments.insert(arguments.end(), {"--camera-index", std::to_string(*stage.camera_index)});
    }
    return arguments;
}

}  // namespace tmhost
