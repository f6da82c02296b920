// A module that handles SIGCHLD with a function of its own and forks as it starts, leaving the
// child waiting: when the host ends that child after the unload, the signal must not be sent to
// a handler whose code is no longer mapped.
#include <csignal>

#include <unistd.h>

#include "acts_at_start.h"

namespace {

volatile std::sig_atomic_t children_ended = 0;

void on_child_ended(int) { children_ended = children_ended + 1; }

}  // namespace

void act_at_start() {
    std::signal(SIGCHLD, on_child_ended);
    if (fork() != 0) return;
    for (int second = 0; second < 60; ++second) sleep(1);
    _exit(0);
}
