#include "host/commands/program_paths.h"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tmhost {

std::string executable_folder() {
    std::string file;
#if defined(_WIN32)
    char buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    file.assign(buffer, length);
#else
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return std::string();
    file.assign(buffer, static_cast<std::size_t>(length));
#endif
    return std::filesystem::path(file).parent_path().string();
}

std::string default_module_path() {
    const std::string folder = executable_folder();
    if (folder.empty()) return "Tonemix.cdl";
    return (std::filesystem::path(folder) / "Tonemix.cdl").string();
}

std::string absolute_path(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    return absolute.lexically_normal().make_preferred().string();
}

}  // namespace tmhost
