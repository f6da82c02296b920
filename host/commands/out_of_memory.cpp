#include "host/commands/out_of_memory.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace tmhost {

std::string out_of_memory_line(const char* command) {
    std::string line = std::string(command) + ": out of memory";
#ifndef _WIN32
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        line += " (the address space is limited to " +
                std::to_string(static_cast<unsigned long long>(limit.rlim_cur) >> 20) +
                " MiB: ulimit -v)";
    }
#endif
    return line;
}

}  // namespace tmhost
