// tonemix-host: loads a built Tonemix.cdl through c4d_main alone and drives it as a host would.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/program/commands.h"
#include "host/program/program_output.h"
#include "host/render/describe_run.h"
#include "host/render/render_run.h"

namespace {

// A new command is one line here and a file of its own.
const std::vector<tmhost::Command> commands = {
    {"info", "[MODULE]",
     "load MODULE (default: Tonemix.cdl beside this program), send its lifecycle messages, "
     "run one shader node through set-up, a few shaded points and tear-down, and report the "
     "results, its console, its registrations and what it left behind",
     tmhost::run_info},
    {"render", tmhost::kRenderArguments, tmhost::kRenderSummary, tmhost::run_render_command},
    {"describe", tmhost::kDescribeArguments, tmhost::kDescribeSummary,
     tmhost::run_describe_command},
};

void print_usage(std::FILE* to) {
    std::fprintf(to, "usage: tonemix-host COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const tmhost::Command& command : commands) {
        std::fprintf(to, "  %s %s\n      %s\n", command.name, command.arguments, command.summary);
    }
}

}  // namespace

int main(int argc, char** argv) {
    tmhost::prepare_program_output();
    if (argc < 2) {
        print_usage(stderr);
        return tmhost::EXIT_USAGE;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        print_usage(stdout);
        return tmhost::EXIT_USAGE;
    }
    for (const tmhost::Command& command : commands) {
        if (name == command.name) {
            const int status = command.run(std::vector<std::string>(argv + 2, argv + argc));
            std::fflush(stdout);
            return status;
        }
    }
    std::fprintf(stderr, "tonemix-host: unknown command '%s'\n", name.c_str());
    print_usage(stderr);
    return tmhost::EXIT_USAGE;
}
