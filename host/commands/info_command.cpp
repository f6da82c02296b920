// tonemix-host info [MODULE]: one module life, from load to unload, with one shader node driven
// through its registration record in between, and what it left behind.
#include <string>
#include <vector>

#include "host/commands/command.h"
#include "host/commands/host_report.h"
#include "host/commands/info_shader.h"
#include "host/core/module_session.h"

namespace tmhost {

namespace {

int info(const CommandArguments& arguments, const CommandSettings& settings,
         CommandOutput& output) {
    if (arguments.size() > 1) {
        output.error("info takes at most one argument, the module file");
        return EXIT_USAGE;
    }
    const std::string path = module_path(
        arguments.empty() ? std::nullopt : std::optional<std::string>(arguments[0]), settings);
    ModuleSession session(path, settings.prepare_host);
    output.out("module: " + path);

    // The shader runs between start and end, while its registration is live; its lines come
    // after the lifecycle's, which are only known once the module has ended.
    std::vector<std::string> shader_lines;
    bool shader_as_expected = false;
    if (session.started()) {
        shader_as_expected = run_info_shader(session.host(), shader_lines);
    } else {
        shader_lines.push_back("shader: not run, init failed");
    }
    session.finish();

    const StandInHost& host = session.host();
    std::vector<std::string> lines;
    for (const MessageOutcome& outcome : session.lifecycle().outcomes()) {
        lines.push_back(outcome.line());
    }
    for (const std::vector<std::string>& part :
         {resource_report(host), console_report(host), registration_report(host), shader_lines,
          left_behind_report(host)}) {
        lines.insert(lines.end(), part.begin(), part.end());
    }
    for (std::string& line : lines) output.out(std::move(line));

    const bool clean =
        session.lifecycle().all_as_expected() && shader_as_expected && host.left_behind().empty();
    return clean ? EXIT_CLEAN : EXIT_FAULT;
}

}  // namespace

CommandOutput run_info(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_reporting_errors("info", info, arguments, settings);
}

}  // namespace tmhost
