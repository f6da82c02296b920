// A module that starts a thread as it starts, which outlives the module's end and, once the host
// has stopped watching the module (its crash handler is no longer installed), calls exit(0): a
// module kept loaded under its threads must stay watched, or the process ends with the code of a
// success before the host has written what it was asked for.
#include <csignal>
#include <cstdlib>

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include "acts_at_start.h"
#include "c4d_resource.h"

namespace {

bool module_resource_held() {
    // Read afresh each time: the host's thread gives it back.
    asm volatile("" ::: "memory");
    return plugin_resource.handle() != 0;
}

bool crash_handler_installed() {
    struct sigaction now {};
    sigaction(SIGSEGV, nullptr, &now);
    return (now.sa_flags & SA_SIGINFO) != 0;
}

void* exit_when_unwatched(void*) {
    // The end message gives the module's resource back.
    while (module_resource_held()) usleep(1000);
    while (crash_handler_installed()) sched_yield();
    std::exit(0);
}

}  // namespace

void act_at_start() {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, exit_when_unwatched, nullptr) == 0) pthread_detach(thread);
}
