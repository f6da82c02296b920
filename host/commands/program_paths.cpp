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
    const std::filesystem::path beside = std::filesystem::path(folder) / "Tonemix.cdl";
    const std::filesystem::path in_folder =
        std::filesystem::path(folder) / "Tonemix" / "Tonemix.cdl";
    std::error_code error;
    if (!std::filesystem::exists(beside, error) && std::filesystem::exists(in_folder, error)) {
        return in_folder.string();
    }
    return beside.string();  // named in the error when neither is there
}

std::string example_scenes_folder() {
    const std::filesystem::path folder = executable_folder();
    std::error_code error;
    if (std::filesystem::is_directory(folder / "scenes", error))
        return (folder / "scenes").string();
    return (folder / TONEMIX_EXAMPLE_SCENES).lexically_normal().string();
}

std::string absolute_path(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    return absolute.lexically_normal().make_preferred().string();
}

}  // namespace tmhost
