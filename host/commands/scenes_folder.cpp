#include "host/commands/scenes_folder.h"

#include <algorithm>
#include <system_error>

#include "host/scene/mesh_file.h"

namespace tmhost {

namespace fs = std::filesystem;

namespace {

// The path with its links resolved as far as it exists; empty when the system cannot say.
fs::path resolved(const fs::path& path) {
    std::error_code error;
    fs::path real = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? fs::path() : real;
}

bool inside(const fs::path& file, const fs::path& folder) {
    const auto mismatch =
        std::mismatch(folder.begin(), folder.end(), file.begin(), file.end()).first;
    return !folder.empty() && mismatch == folder.end() && file != folder;
}

// Scene files, and the model files the host stages.
bool scene_file_name(const fs::path& path) {
    return path.extension() == ".json" || model_format(path.filename().string()).has_value();
}

// A file the folder may serve: a regular .json file inside it once links are followed.
bool servable(const fs::path& file, const fs::path& folder) {
    std::error_code error;
    const fs::path real = resolved(file);
    return !real.empty() && inside(real, folder) && fs::is_regular_file(real, error) &&
           scene_file_name(real);
}

}  // namespace

ScenesFolder::ScenesFolder(fs::path folder, std::optional<std::string> first)
    : folder_(resolved(folder)) {
    if (!first) return;
    const fs::path file = resolved(*first);
    first_path_ = file.empty() ? *first : file.string();
    if (servable(fs::path(*first_path_), folder_) && file.parent_path() == folder_) {
        default_id_ = file.filename().string();
    } else {
        default_id_ = "started";
    }
}

std::vector<ServedScene> ScenesFolder::scenes() const {
    std::vector<ServedScene> list;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, error)) {
        if (!servable(entry.path(), folder_)) continue;
        const std::string name = entry.path().filename().string();
        list.push_back({name, name});
    }
    std::sort(list.begin(), list.end(),
              [](const ServedScene& a, const ServedScene& b) { return a.id < b.id; });
    if (default_id_ == "started") {
        list.insert(list.begin(), {"started", fs::path(*first_path_).filename().string()});
    }
    list.insert(list.begin(), {kBuiltinId, "built-in scene"});
    return list;
}

std::optional<std::string> ScenesFolder::path(const std::string& id) const {
    if (id == kBuiltinId) return std::nullopt;
    if (id == "started" && default_id_ == "started") return first_path_;
    // A plain file name: no folder part, so no "..", no absolute path, no drive.
    const fs::path name(id);
    const bool plain = !id.empty() && name.filename() == name && name.has_filename() && id != "." &&
                       id != ".." && id.find('/') == std::string::npos &&
                       id.find('\\') == std::string::npos && id.find(':') == std::string::npos;
    if (plain && servable(folder_ / name, folder_)) return (folder_ / name).string();
    throw NoSuchScene("no scene '" + id + "' in " + folder_.string());
}

}  // namespace tmhost
