// A module that changes the process's working folder as it starts: a relative path the user gave
// the host would then name a file somewhere else.
#include <unistd.h>

#include "acts_at_start.h"

// On Windows the root of the current drive: wine takes "/" for its own root folder, Z:\\.
#if defined(_WIN32)
constexpr const char* kRoot = "\\";
#else
constexpr const char* kRoot = "/";
#endif

void act_at_start() {
    if (chdir(kRoot) != 0) return;
}
