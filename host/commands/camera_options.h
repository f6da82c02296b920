// How a command is told where to look: a model file's stage (--up, --camera-index) and a turn of
// any scene's camera (--camera-orbit, --camera-zoom, --camera-pan), as options and as the preview
// page's query (orbit=, zoom=, pan=), both read by the same rules so that a page's view is the
// command line's to the bit.
#ifndef TMHOST_CAMERA_OPTIONS_H
#define TMHOST_CAMERA_OPTIONS_H

#include <string>
#include <vector>

#include "host/commands/command_line.h"
#include "host/scene/camera_view.h"
#include "host/scene/model_stage.h"

namespace tmhost {

// The rules of the five options, for a command's table.
std::vector<OptionRule> camera_option_rules();

// Read from a line parsed with those rules. Throw UsageError naming the option.
StageOptions stage_options(const CommandLine& line);
CameraView camera_view(const CommandLine& line);

// Each value as its option takes it; `where` names it in the message ("--camera-orbit",
// "orbit"). Decimal numbers only (no exponent-free infinity, no hexadecimal), read digit by digit
// as mesh files are, so that both builds take the same bits.
void read_orbit(const std::string& text, const std::string& where, CameraView& view);
void read_zoom(const std::string& text, const std::string& where, CameraView& view);
void read_pan(const std::string& text, const std::string& where, CameraView& view);
UpAxis read_up(const std::string& text, const std::string& where);

// The options that give the stage, none for the default, for a command line that makes the same
// image. (The view's options are written from the texts they were read from.)
std::vector<std::string> stage_arguments(const StageOptions& stage);

}  // namespace tmhost

#endif
