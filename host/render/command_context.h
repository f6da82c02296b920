// What the render and describe commands need from the program that runs them: where their lines
// go, where the module is by default, and (for tests) a hand on the host before the module loads.
#ifndef TMHOST_COMMAND_CONTEXT_H
#define TMHOST_COMMAND_CONTEXT_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/render/module_session.h"

namespace tmhost {

// Exit codes of the render and describe commands (the same as tonemix-host's).
enum : int {
    COMMAND_CLEAN = 0,  // done, and the module left nothing behind
    COMMAND_FAULT = 1,  // done, but the module left something behind or answered wrongly
    COMMAND_ERROR = 2,  // bad command line, scene or module: nothing was written
};

class CommandReport {
public:
    virtual ~CommandReport() = default;
    virtual void out(const std::string& line) = 0;      // a result line, stdout
    virtual void error(const std::string& line) = 0;    // the one line of an error, stderr
    virtual void warning(const std::string& line) = 0;  // stderr
    virtual bool show_progress() const = 0;             // stderr is a terminal
};

struct CommandContext {
    CommandReport& report;
    std::string default_module;  // the module beside the program
    // The module derives its resource folder from its path: the program makes the path absolute.
    std::function<std::string(const std::string&)> absolute_path;
    HostAdjustment adjust_host;
};

// The module a command loads: `given` (its --module) or the one beside the program, made absolute.
std::string module_path(const std::optional<std::string>& given, const CommandContext& context);

// Runs a command's body. A bad command line, scene or module becomes its one error line; any other
// failure "<command> failed: <why>". Either way the command answers COMMAND_ERROR.
using CommandBody = int (*)(const std::vector<std::string>& arguments,
                            const CommandContext& context);
int run_reporting_errors(const char* command, CommandBody body,
                         const std::vector<std::string>& arguments, const CommandContext& context);

}  // namespace tmhost

#endif
