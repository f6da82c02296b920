// A scene read and made ready for any number of renders: its objects, its meshes and the tracer's
// hierarchy over them, built once and shared, read only, by every render that uses it. A preview
// server keeps them in a SceneCache and reads a scene again only when its file, or a mesh file it
// names, has changed on disk.
#ifndef TMHOST_PREPARED_SCENE_H
#define TMHOST_PREPARED_SCENE_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/render/scene_source.h"
#include "host/scene/file_stamp.h"
#include "host/scene/tracer.h"

namespace tmhost {

struct PreparedScene {
    explicit PreparedScene(LoadedScene scene);

    const LoadedScene loaded;  // as the file says: its size, its light list
    const Tracer tracer;       // holds its own copy of the scene's geometry, meshes shared
};

// Sizes an image in the scene's shape: both sides given, or one, the other in proportion
// (rounded, at least 1), or the scene's own. Throws RenderError for a side beyond kMaxImageSide
// or more than kMaxImagePixels pixels.
struct ImageSize {
    int width = 0;
    int height = 0;
};
ImageSize image_size(const Scene& scene, std::optional<int> width, std::optional<int> height);

// The scenes a long-running program has read, by path (none: the built-in scene), each read
// again only when it is stale. Safe from any thread; a scene being read is read once however many
// threads ask for it at once, and no lookup of another scene waits for it.
class SceneCache {
public:
    struct Entry {
        std::shared_ptr<const PreparedScene> scene;
        // Counts the reads of this path: a page tells by it that the scene on disk has changed.
        std::uint64_t version = 0;
    };
    // The scene, read now when it was never read or its file or a mesh file has changed (size,
    // time of change or identity) since. Throws SceneError as load_scene does, and for a scene
    // or mesh file that is not a regular file (a FIFO would block the reader for ever). A scene
    // that fails to read is not kept: the next call tries again. A model file is kept once for
    // each stage it is asked on.
    Entry get(const std::optional<std::string>& path, const StageOptions& stage = {});

    // At most this many scenes are kept; the one used longest ago goes first.
    static constexpr std::size_t kKeptScenes = 16;

private:
    struct Slot {
        std::mutex reading;  // held while the scene is read, by one thread
        Entry entry;
        std::vector<std::pair<std::string, FileStamp>> stamps;  // the scene's file and meshes
        std::uint64_t last_use = 0;
    };
    static bool stale(const Slot& slot);

    std::mutex mutex_;
    // By path and stage; "" is the built-in scene.
    std::map<std::string, std::shared_ptr<Slot>> slots_;
    std::uint64_t uses_ = 0;
};

}  // namespace tmhost

#endif
