// A module that forks as it starts and leaves the child waiting: the child holds every descriptor
// the host had open (a pipe to a parent among them) until it ends, a minute later.
#include <unistd.h>

#include "acts_at_start.h"

void act_at_start() {
    if (fork() != 0) return;
    for (int second = 0; second < 60; ++second) sleep(1);
    _exit(0);
}
