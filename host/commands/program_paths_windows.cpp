#include "host/commands/program_paths.h"

#include <windows.h>

namespace tmhost {

std::string executable_file() {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    return std::string(buffer, length);
}

}  // namespace tmhost
