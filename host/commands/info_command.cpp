// tonemix-host info [MODULE]: one module life, from load to unload, with one shader node driven
// through its registration record in between, and what it left behind.
#include <string>
#include <vector>

#include "host/commands/command.h"
#include "host/commands/command_bodies.h"
#include "host/commands/command_error.h"
#include "host/commands/host_report.h"
#include "host/commands/info_shader.h"
#include "host/loading/module_session.h"

namespace tmhost {

namespace {

// Every step that did not answer as a host expects, or that all did.
std::string verdict(const ModuleSession& session, bool shader_as_expected) {
    std::string differed;
    for (const MessageOutcome& outcome : session.lifecycle().outcomes()) {
        if (!outcome.as_expected()) differed += (differed.empty() ? "" : "; ") + outcome.line();
    }
    if (!shader_as_expected) differed += (differed.empty() ? "" : "; ") + std::string("shader");
    return differed.empty()
               ? "lifecycle: every step answered as a host expects"
               : "lifecycle: not as a host expects: " + differed + " (info -v shows every step)";
}

}  // namespace

int info_body(const CommandLine& line, const CommandSettings& settings, CommandOutput& output) {
    if (line.positional() && line.has("--module")) {
        throw UsageError("the module given twice: as '" + *line.positional() +
                         "' and with --module");
    }
    const std::string path =
        module_path(line.positional() ? line.positional() : line.value("--module"), settings);
    ModuleSession session(path, settings.prepare_host, ModuleSession::OnCrash::one_line);
    // A module copied without its res/ folder is a set-up fault, said as render says it; -v
    // still reports every step of such a module.
    if (!line.has("--verbose")) session.require_resources();
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
    if (line.has("--verbose")) {
        for (const MessageOutcome& outcome : session.lifecycle().outcomes()) {
            lines.push_back(outcome.line());
        }
        for (const std::vector<std::string>& part :
             {resource_report(host), console_report(host), registration_report(host), shader_lines,
              left_behind_report(host)}) {
            lines.insert(lines.end(), part.begin(), part.end());
        }
    } else {
        for (const std::vector<std::string>& part : {console_report(host),
                                                     {registration_summary(host)},
                                                     left_behind_report(host),
                                                     {verdict(session, shader_as_expected)}}) {
            lines.insert(lines.end(), part.begin(), part.end());
        }
    }
    for (std::string& text : lines) output.out(std::move(text));

    const bool clean =
        session.lifecycle().all_as_expected() && shader_as_expected && host.left_behind().empty();
    return clean ? EXIT_CLEAN : EXIT_FAULT;
}

const std::vector<OptionRule>& info_options() {
    static const std::vector<OptionRule> rules = {
        OptionRule::valued("--module", "PATH", "the module file")
            .with_values("default: Tonemix.cdl beside this program or in Tonemix/ beside it; the "
                         "same as MODULE"),
        OptionRule::flag(
            "--verbose",
            "report every step: each lifecycle message's answer, the resources, the registration "
            "record field by field, the node's defaults, the shaded points and the lights asked")
            .with_alias("-v"),
        kHelpOption,
    };
    return rules;
}

}  // namespace tmhost
