// The one place a command's failure becomes its error line and exit code, whichever command and
// whichever layer threw it.
#include <exception>
#include <string>

#include "host/commands/command.h"
#include "host/commands/command_error.h"
#include "host/commands/command_line.h"
#include "host/commands/out_of_memory.h"

namespace tmhost {

namespace {

// A library's exception starts its message with a tag ("[json.exception.type_error.316] "),
// which says nothing to a user.
std::string without_tag(const std::string& what) {
    if (what.empty() || what[0] != '[') return what;
    const std::size_t end = what.find("] ");
    return end == std::string::npos ? what : what.substr(end + 2);
}

std::string error_line(const char* command, const Failure& failure) {
    switch (failure.kind) {
    case ErrorKind::out_of_memory:
        return out_of_memory_line(command);
    case ErrorKind::unexpected:
        return std::string(command) + " failed: " + without_tag(failure.what);
    default:
        return failure.what;
    }
}

CommandOutput run_named(const char* name, const CommandArguments& arguments,
                        const CommandSettings& settings) {
    return run_command(*find_command(name), arguments, settings);
}

}  // namespace

CommandOutput run_command(const Command& command, const CommandArguments& arguments,
                          const CommandSettings& settings) {
    CommandOutput output;
    output.show_now = settings.show_now;
    try {
        const CommandLine line(arguments, command.options(), command.positional_label);
        if (line.has(kHelpOption.name)) {
            for (std::string& text : usage_lines(command.name)) output.out(std::move(text));
            output.status = EXIT_CLEAN;
            return output;
        }
        output.status = command.body(line, settings, output);
    } catch (const std::exception&) {
        const Failure failure = failure_in_flight();
        output.error(error_line(command.name, failure));
        output.status = exit_code_of(failure.kind);
    }
    return output;
}

CommandOutput run_info(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_named("info", arguments, settings);
}

CommandOutput run_render(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_named("render", arguments, settings);
}

CommandOutput run_sheet(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_named("sheet", arguments, settings);
}

CommandOutput run_describe(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_named("describe", arguments, settings);
}

CommandOutput run_scene(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_named("scene", arguments, settings);
}

CommandOutput run_validate(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_named("validate", arguments, settings);
}

CommandOutput run_serve(const CommandArguments& arguments, const CommandSettings& settings) {
    return run_named("serve", arguments, settings);
}

}  // namespace tmhost
