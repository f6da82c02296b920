// The scenes tonemix-host serve offers: the built-in scene and the scene and model files of one
// folder. A page names a scene by an id, the file's name within the folder; no id reaches a file
// outside it, through ".." or through a link that points elsewhere.
#ifndef TMHOST_SCENES_FOLDER_H
#define TMHOST_SCENES_FOLDER_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/commands/command_error.h"

namespace tmhost {

// A scene id that names no scene here: the server's 404, in one line.
using NoSuchScene = ErrorOfKind<ErrorKind::not_found>;

struct ServedScene {
    std::string id;     // "builtin", "box_on_plane.json"
    std::string label;  // "built-in scene", "box_on_plane.json"
};

class ScenesFolder {
public:
    static constexpr const char* kBuiltinId = "builtin";

    // `folder`: where the scene files are. `first`: the scene the server was started with, if
    // any; it is offered even when it lies outside the folder.
    ScenesFolder(std::filesystem::path folder, std::optional<std::string> first);

    const std::filesystem::path& folder() const { return folder_; }
    // The id of the scene a page starts with.
    const std::string& default_id() const { return default_id_; }
    // The built-in scene, then the folder's .json and model files by name (the started scene among
    // them).
    std::vector<ServedScene> scenes() const;
    // The file of a scene id, absolute; none for the built-in scene. Throws NoSuchScene for an id
    // that names no such file inside the folder (after every link is followed) and is not the
    // started scene's.
    std::optional<std::string> path(const std::string& id) const;

private:
    std::filesystem::path folder_;  // absolute, links resolved
    std::optional<std::string> first_path_;
    std::string default_id_ = kBuiltinId;
};

}  // namespace tmhost

#endif
