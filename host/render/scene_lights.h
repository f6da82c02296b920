// A scene's lights as the host's renderer and list library present them to the module: one
// PointLightEntry per light with its per-object flag bytes, a host object per light that stands
// for it in light lists, and the scene's light list as list data.
#ifndef TMHOST_SCENE_LIGHTS_H
#define TMHOST_SCENE_LIGHTS_H

#include <cstdint>
#include <optional>
#include <vector>

#include "host/core/list_library.h"
#include "host/core/point_light_renderer.h"
#include "host/scene/scene.h"

namespace tmhost {

class SceneLights {
public:
    explicit SceneLights(const Scene& scene);
    // The scene objects point into this object: it stays where it was made.
    SceneLights(const SceneLights&) = delete;
    SceneLights& operator=(const SceneLights&) = delete;

    // Bit value 1 (TM_OBJECT_FLAG_NOT_LIT) at the index of every object the light excludes; a
    // light that excludes nothing has no table.
    std::vector<PointLightEntry> entries() const;
    // The host object that stands for light `index` in light lists and light records.
    void* scene_object(int index) const;

    // The scene's light list as the container lends it, or null when the scene has none.
    LightListData* list_data() { return list_ ? &*list_ : nullptr; }
    // TONEMIX_LIST_MODE for the scene's list: 1 leaves the listed lights out, 0 keeps only them.
    std::optional<int32_t> list_mode() const { return list_mode_; }

private:
    // One per light, only for its address: a light's identity that no other light shares.
    struct LightObject {
        int index = 0;
    };

    std::vector<LightObject> objects_;
    std::vector<PointLightEntry> entries_;
    std::optional<LightListData> list_;
    std::optional<int32_t> list_mode_;
};

}  // namespace tmhost

#endif
