#include "host/commands/program_paths.h"

#include <unistd.h>

namespace tmhost {

std::string executable_file() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return std::string();
    return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace tmhost
