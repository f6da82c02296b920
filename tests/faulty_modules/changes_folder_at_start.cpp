// A module that changes the process's working folder as it starts: a relative path the user gave
// the host would then name a file somewhere else.
#include <unistd.h>

#include "acts_at_start.h"

void act_at_start() {
    if (chdir("/") != 0) return;
}
