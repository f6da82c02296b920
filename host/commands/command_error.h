// What a command fails with, by kind: each a single line ready to print as it is, and each kind
// with the one exit code it ends the command with (and the one status serve answers it with).
// The layers below have errors of their own (RenderError, SceneError, ModuleError); each entry
// point reads whatever is thrown through failure_in_flight, which gives them their kind too, so
// that no command decides an exit code for an error itself.
#ifndef TMHOST_COMMAND_ERROR_H
#define TMHOST_COMMAND_ERROR_H

#include <stdexcept>
#include <string>

namespace tmhost {

enum class ErrorKind {
    usage,           // the command line, or a page's request, asks what the command does not take
    input,           // a file or folder the command reads cannot be used as it is
    not_found,       // a request names a scene, an image or a page the server does not have
    module,          // the module cannot be used: not loadable, no shader, a crash as one line
    output_refused,  // where the result would go cannot take it, found before any work
    output_lost,     // the work was done, and its result was lost on the way out
    host,            // this host cannot do the work here: its own limits, a port, a stop
    out_of_memory,   // the work asked for more memory than the process could have
    unexpected,      // anything else: a fault no check above foresaw
};

// EXIT_FAULT for output_lost (the module's work was done, its result lost), EXIT_USAGE for
// every other kind: nothing was written.
int exit_code_of(ErrorKind kind);

class CommandError : public std::runtime_error {
public:
    CommandError(ErrorKind kind, const std::string& line) : std::runtime_error(line), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

private:
    ErrorKind kind_;
};

template <ErrorKind K>
class ErrorOfKind : public CommandError {
public:
    explicit ErrorOfKind(const std::string& line) : CommandError(K, line) {}
};

using UsageError = ErrorOfKind<ErrorKind::usage>;
using InputError = ErrorOfKind<ErrorKind::input>;
using OutputRefused = ErrorOfKind<ErrorKind::output_refused>;
using OutputLost = ErrorOfKind<ErrorKind::output_lost>;
using HostError = ErrorOfKind<ErrorKind::host>;

// The error a catch block is handling, by its kind, and its message as it was thrown.
struct Failure {
    ErrorKind kind = ErrorKind::unexpected;
    std::string what;
};

// Only inside a catch block of a std::exception: rethrows it to read it. A CommandError keeps
// its kind; the render layer's RenderError is a usage error, the scene layer's SceneError an
// input error, the loading layer's ModuleError a module error.
Failure failure_in_flight();

}  // namespace tmhost

#endif
