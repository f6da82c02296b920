#include "host/render/prepared_scene.h"

#include <algorithm>

#include "host/image/image.h"
#include "host/render/render_error.h"
#include "host/scene/scene_error.h"

namespace tmhost {

PreparedScene::PreparedScene(LoadedScene scene) : loaded(std::move(scene)), tracer(loaded.scene) {}

ImageSize image_size(const Scene& scene, std::optional<int> width, std::optional<int> height) {
    // One side alone keeps the scene's shape: the other side in proportion, rounded, at least 1.
    const auto in_proportion = [](long long side, long long to, long long from) {
        return std::max(1LL, (side * to * 2 + from) / (from * 2));
    };
    long long w = width.value_or(scene.width);
    long long h = height.value_or(scene.height);
    if (width && !height) h = in_proportion(w, scene.height, scene.width);
    if (height && !width) w = in_proportion(h, scene.width, scene.height);
    if (w > kMaxImageSide || h > kMaxImageSide) {
        throw RenderError("image " + std::to_string(w) + "x" + std::to_string(h) +
                          " in the scene's shape: a side above " + std::to_string(kMaxImageSide) +
                          "; give both --width and --height");
    }
    const ImageSize size{static_cast<int>(w), static_cast<int>(h)};
    if (too_many_pixels(size.width, size.height)) {
        throw RenderError("image " + std::to_string(size.width) + "x" +
                          std::to_string(size.height) + ": more than " +
                          std::to_string(kMaxImagePixels) + " pixels");
    }
    return size;
}

bool SceneCache::stale(const Slot& slot) {
    if (!slot.entry.scene) return true;
    for (const auto& [path, stamp] : slot.stamps) {
        if (file_stamp(path) != stamp) return true;
    }
    return false;
}

namespace {

// A file that is missing is said by the read, as for any command.
void require_regular(const std::string& path, const std::string& what) {
    if (file_stamp(path).exists && !is_regular_file(path)) {
        throw SceneError(what + ": not a regular file (a scene is read from a file on disk)");
    }
}

}  // namespace

SceneCache::Entry SceneCache::get(const std::optional<std::string>& path,
                                  const StageOptions& stage) {
    std::string key = path.value_or("");
    if (!(stage == StageOptions{})) {
        // A NUL cannot be part of a path: no file's key looks like a staged one.
        key += std::string(1, '\0') + (stage.up == UpAxis::z ? "z" : "y") +
               (stage.camera_index ? std::to_string(*stage.camera_index) : "");
    }
    std::shared_ptr<Slot> slot;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::shared_ptr<Slot>& found = slots_[key];
        if (!found) {
            found = std::make_shared<Slot>();
            if (slots_.size() > kKeptScenes) {
                auto oldest = slots_.end();
                for (auto it = slots_.begin(); it != slots_.end(); ++it) {
                    if (it->second != found && (oldest == slots_.end() ||
                                                it->second->last_use < oldest->second->last_use)) {
                        oldest = it;
                    }
                }
                if (oldest != slots_.end()) slots_.erase(oldest);
            }
        }
        found->last_use = ++uses_;
        slot = found;
    }
    const std::lock_guard<std::mutex> reading(slot->reading);
    if (!stale(*slot)) return slot->entry;
    // The stamps are taken before the files are read: an edit during the read makes the scene
    // stale at the next look rather than kept with the older stamps.
    std::vector<std::pair<std::string, FileStamp>> stamps;
    if (path) {
        require_regular(*path, *path);
        stamps.emplace_back(*path, file_stamp(*path));
    }
    LoadedScene loaded = load_scene(path, stage);
    for (const std::string& mesh : loaded.scene.mesh_files) {
        // Read already, so not a FIFO then; a mesh replaced by one later is refused at the next
        // read.
        stamps.emplace_back(mesh, file_stamp(mesh));
    }
    auto prepared = std::make_shared<const PreparedScene>(std::move(loaded));
    slot->entry.scene = prepared;
    ++slot->entry.version;
    slot->stamps = std::move(stamps);
    return slot->entry;
}

}  // namespace tmhost
