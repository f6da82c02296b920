#include "host/commands/out_of_memory.h"

namespace tmhost {

// Windows has no limit of the address space for a user to raise (no ulimit -v).
std::string out_of_memory_line(const char* command) {
    return std::string(command) + ": out of memory";
}

}  // namespace tmhost
