#include "host/validate/child_endings.h"

#include <cstring>
#include <exception>

#include "host/loading/signal_stack.h"

#if !defined(_WIN32)
#include <csignal>
#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tmhost {

std::string exit_failure(long code) {
    return "the module ended the process (exit " + std::to_string(code) + ")";
}

#if defined(_WIN32)

void watch_child_endings(int) {}

std::optional<std::string> child_ending(int, const std::string&, bool) { return std::nullopt; }

#else

namespace {

int ending_pipe = -1;
struct sigaction earlier_segv;

void tell(const char* line) {
    if (write(ending_pipe, line, std::strlen(line)) < 0) {
        // The parent names the signal alone.
    }
}

void on_terminate() {
    tell("ending exception\n");
    std::abort();
}

void on_segv(int, siginfo_t* info, void* context) {
    if (is_stack_overflow(info->si_addr, context)) tell("ending overflow\n");
    // The instruction faults again, and the handler from before (the default, a sanitizer's)
    // takes it.
    sigaction(SIGSEGV, &earlier_segv, nullptr);
}

std::string signal_text(int number) {
    const char* name = strsignal(number);
    return "crashed: signal " + std::to_string(number) + " (" + (name != nullptr ? name : "?") +
           ")";
}

}  // namespace

void watch_child_endings(int pipe) {
    ending_pipe = pipe;
    std::set_terminate(on_terminate);
    // For as long as the child lives: it ends with _exit.
    static SignalStack* const signal_stack = new SignalStack;
    static_cast<void>(signal_stack);
    struct sigaction action {};
    action.sa_sigaction = on_segv;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, &earlier_segv);
}

std::optional<std::string> child_ending(int status, const std::string& told, bool verdict_given) {
    if (WIFSIGNALED(status)) {
        if (told == "overflow") return std::string("the module overflowed its stack");
        if (told == "exception") return std::string("the module threw an exception no one caught");
        if (WTERMSIG(status) == SIGABRT) return std::string("the module aborted");
        return signal_text(WTERMSIG(status));
    }
    if (WIFEXITED(status) && (WEXITSTATUS(status) != 0 || !verdict_given))
        return exit_failure(WEXITSTATUS(status));
    return std::nullopt;
}

#endif

}  // namespace tmhost
