// A module that forks as it is loaded, from an object of its own made before the host can ask for
// c4d_main, and leaves the child waiting a minute with the host's descriptors.
#include <unistd.h>

namespace {

struct ForkOnLoad {
    ForkOnLoad() {
        if (fork() != 0) return;
        for (int second = 0; second < 60; ++second) sleep(1);
        _exit(0);
    }
};

ForkOnLoad fork_on_load;

}  // namespace
