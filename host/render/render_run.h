// tonemix-host render: a scene rendered through the module's shader into a PNG or PFM file.
#ifndef TMHOST_RENDER_RUN_H
#define TMHOST_RENDER_RUN_H

#include <string>
#include <vector>

#include "host/render/command_context.h"

namespace tmhost {

extern const char* const kRenderArguments;
extern const char* const kRenderSummary;

// Arguments after "render". Every fault is one line on the report's error and COMMAND_ERROR,
// and then no file is written.
int run_render(const std::vector<std::string>& arguments, const CommandContext& context);

}  // namespace tmhost

#endif
