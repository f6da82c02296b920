#include "host/validate/child_endings.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>

#include <sys/wait.h>
#include <unistd.h>

#include "host/loading/module_endings.h"
#include "host/loading/signal_stack.h"

namespace tmhost {

namespace {

int ending_pipe = -1;
const int kWatched[] = {SIGSEGV, SIGILL, SIGBUS, SIGFPE, SIGABRT};
constexpr int kWatchedCount = sizeof kWatched / sizeof kWatched[0];
struct sigaction earlier[kWatchedCount];

// The handler's own lines run on the signal stack, whose frames the sanitizer does not follow
// there: under qemu-user it takes this frame's first write for one into another's redzone. They
// are few, and left unchecked.
#define TONEMIX_SIGNAL_HANDLER __attribute__((no_sanitize_address))

// "ending KIND PHASE": the phase the module session was at, which a signal handler may read.
TONEMIX_SIGNAL_HANDLER void tell(const char* kind) {
    char line[160];
    const char* phase = module_phase();
    std::size_t length = 0;
    for (const char* part : {kEndingNote, kind, " ", phase, "\n"}) {
        for (; *part != '\0' && length + 1 < sizeof line; ++part) line[length++] = *part;
    }
    line[length - 1] = '\n';
    if (write(ending_pipe, line, length) < 0) {
        // The parent names the end without its phase.
    }
}

void on_terminate() {
    tell("exception");
    std::abort();
}

void on_exit_of_child(int, void*) { tell("exit"); }

TONEMIX_SIGNAL_HANDLER void on_signal(int signal, siginfo_t* info, void* context) {
    if (signal == SIGSEGV && is_stack_overflow(info->si_addr, context))
        tell("overflow");
    else
        tell("signal");
    // The handler from before (the default, a sanitizer's) takes it: a fault comes again as the
    // instruction runs again, and abort raises its signal again.
    for (int i = 0; i < kWatchedCount; ++i) {
        if (kWatched[i] == signal) sigaction(signal, &earlier[i], nullptr);
    }
}

std::string signal_text(int number) {
    const char* name = strsignal(number);
    return std::string("signal ") + std::to_string(number) + " (" + (name != nullptr ? name : "?") +
           ")";
}

}  // namespace

void watch_child_endings(int pipe) {
    ending_pipe = pipe;
    std::set_terminate(on_terminate);
    // The group ends with _exit, past this hook; any other exit is the module's.
    on_exit(on_exit_of_child, nullptr);
    // For as long as the child lives: it ends with _exit.
    static SignalStack* const signal_stack = new SignalStack;
    static_cast<void>(signal_stack);
    struct sigaction action {};
    action.sa_sigaction = on_signal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kWatchedCount; ++i) sigaction(kWatched[i], &action, &earlier[i]);
}

std::optional<std::string> child_ending(int status, const std::string& told, bool verdict_given) {
    const std::size_t space = told.find(' ');
    const std::string kind = told.substr(0, space);
    const std::string phase = space == std::string::npos ? "" : told.substr(space + 1);
    const std::string when = phase.empty() ? "" : " while " + phase;
    if (WIFSIGNALED(status)) {
        if (kind == "overflow") return "the module overflowed its stack" + when;
        if (kind == "exception") return "the module threw an exception no one caught" + when;
        if (WTERMSIG(status) == SIGABRT) return "the module aborted" + when;
        return "crashed" + when + ": " + signal_text(WTERMSIG(status));
    }
    // A sanitizer's report of the crash ends the process with an exit code of its own.
    if (WIFEXITED(status) && kind == "signal")
        return "crashed" + when + " (the process then ended with exit " +
               std::to_string(WEXITSTATUS(status)) + ")";
    if (WIFEXITED(status) && (WEXITSTATUS(status) != 0 || !verdict_given))
        return exit_failure(WEXITSTATUS(status)) + (kind == "exit" ? when : "");
    return std::nullopt;
}

}  // namespace tmhost
