// tonemix-host info [MODULE]: one module life, from load to unload, with one shader node driven
// through its registration record in between, and what it left behind.
#include <string>
#include <vector>

#include "host/core/module_file.h"
#include "host/core/module_lifecycle.h"
#include "host/core/stand_in_host.h"
#include "host/program/commands.h"
#include "host/program/host_report.h"
#include "host/program/info_shader.h"
#include "host/program/program_output.h"
#include "host/program/program_paths.h"

namespace tmhost {

namespace {

void print(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) out_line(line);
}

}  // namespace

int run_info(const std::vector<std::string>& arguments) {
    if (arguments.size() > 1) {
        error_line("info takes at most one argument, the module file");
        return EXIT_USAGE;
    }
    const std::string path =
        absolute_path(arguments.empty() ? default_module_path() : arguments[0]);

    // The host outlives the module: the module's unload-time clean-up may still call it.
    StandInHost host;
    ModuleFile module;
    if (!module.load(path)) {
        error_line(module.error());
        return EXIT_USAGE;
    }
    out_line("module: " + path);

    ModuleLifecycle lifecycle(host, module.entry(), path);
    lifecycle.start();
    // The shader runs between start and end, while its registration is live; its lines come
    // after the lifecycle's, which are only known once the module has ended.
    std::vector<std::string> shader_lines;
    bool shader_as_expected = false;
    if (lifecycle.started()) {
        shader_as_expected = run_info_shader(host, shader_lines);
    } else {
        shader_lines.push_back("shader: not run, init failed");
    }
    lifecycle.end();
    module.unload();

    for (const MessageOutcome& outcome : lifecycle.outcomes()) out_line(outcome.line());
    print(resource_report(host));
    print(console_report(host));
    print(registration_report(host));
    print(shader_lines);
    print(left_behind_report(host));

    const bool clean =
        lifecycle.all_as_expected() && shader_as_expected && host.left_behind().empty();
    return clean ? EXIT_CLEAN : EXIT_FAULT;
}

}  // namespace tmhost
