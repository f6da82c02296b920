#include "host/program/process_setup.h"

#include <csignal>

#include <pthread.h>
#include <sys/resource.h>

namespace tmhost {

namespace {

void unblock_crash_signals() {
    sigset_t crash_signals;
    sigemptyset(&crash_signals);
    for (int signal : {SIGSEGV, SIGILL, SIGBUS, SIGFPE, SIGABRT, SIGTRAP, SIGSYS})
        sigaddset(&crash_signals, signal);
    sigprocmask(SIG_UNBLOCK, &crash_signals, nullptr);
    // An ignored SIGCHLD makes the system reap children unasked: a wait for one then fails, and a
    // group's crash would read as no verdict at all.
    std::signal(SIGCHLD, SIG_DFL);
}

std::string kib(rlim_t bytes) { return std::to_string(bytes / 1024) + " KiB"; }

// The main thread's stack grows up to the soft limit as it is when the stack grows, so a raise
// now still counts.
std::string raise_stack_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0) return std::string();
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= kWantedStackBytes)
        return std::string();
    const rlim_t found = limit.rlim_cur;
    rlimit raised = limit;
    raised.rlim_cur = kWantedStackBytes;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < raised.rlim_cur) {
        // Only a process with the right may raise the hard limit; any other keeps to it.
        raised.rlim_max = raised.rlim_cur;
        if (setrlimit(RLIMIT_STACK, &raised) == 0) return std::string();
        raised.rlim_max = limit.rlim_max;
        raised.rlim_cur = limit.rlim_max;
    }
    if (setrlimit(RLIMIT_STACK, &raised) != 0) raised.rlim_cur = found;
    if (raised.rlim_cur >= kLeastStackBytes) return std::string();
    return "the stack limit is " + kib(found) + " (ulimit -s " + std::to_string(found / 1024) +
           "), below the " + kib(kLeastStackBytes) +
           " this program needs, and it cannot be raised here";
}

// Threads made later (render threads, validate's) take their stack size from here; the C
// library chose it from the stack limit as the process started, however small that was.
void set_thread_stack_size() {
    pthread_attr_t defaults;
    if (pthread_getattr_default_np(&defaults) != 0) return;
    std::size_t size = 0;
    if (pthread_attr_getstacksize(&defaults, &size) == 0 && size < kWantedStackBytes) {
        pthread_attr_setstacksize(&defaults, kWantedStackBytes);
        pthread_setattr_default_np(&defaults);
    }
    pthread_attr_destroy(&defaults);
}

}  // namespace

std::string prepare_process() {
    unblock_crash_signals();
    const std::string stack = raise_stack_limit();
    if (!stack.empty()) return stack;
    set_thread_stack_size();
    return std::string();
}

}  // namespace tmhost
