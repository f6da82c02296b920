#include "host/commands/out_of_memory.h"

#include <sys/resource.h>

namespace tmhost {

std::string out_of_memory_line(const char* command) {
    std::string line = std::string(command) + ": out of memory";
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        line += " (the address space is limited to " +
                std::to_string(static_cast<unsigned long long>(limit.rlim_cur) >> 20) +
                " MiB: ulimit -v)";
    }
    return line;
}

}  // namespace tmhost
