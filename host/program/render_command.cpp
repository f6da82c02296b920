// tonemix-host render [SCENE] [-o FILE] ...: the work is the render library's; this is the
// program's entry to it.
#include "host/program/commands.h"
#include "host/program/render_context.h"
#include "host/render/render_run.h"

namespace tmhost {

int run_render_command(const std::vector<std::string>& arguments) {
    ProgramReport report;
    return run_render(arguments, program_context(report));
}

}  // namespace tmhost
