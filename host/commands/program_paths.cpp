#include "host/commands/program_paths.h"

#include <filesystem>
#include <system_error>

namespace tmhost {

std::string executable_folder() {
    return std::filesystem::path(executable_file()).parent_path().string();
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
