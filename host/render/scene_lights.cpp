#include "host/render/scene_lights.h"

#include "host_api.h"

namespace tmhost {

SceneLights::SceneLights(const Scene& scene) : objects_(scene.lights.size()) {
    for (std::size_t i = 0; i < scene.lights.size(); ++i) {
        objects_[i].index = static_cast<int>(i);
        PointLightEntry entry;
        entry.scene_object = &objects_[i];
        const std::vector<int>& excluded = scene.lights[i].excluded_objects;
        if (!excluded.empty()) {
            entry.object_flags.assign(scene.objects.size(), 0);
            for (int object : excluded) {
                entry.object_flags[static_cast<std::size_t>(object)] |= TM_OBJECT_FLAG_NOT_LIT;
            }
        }
        entries_.push_back(std::move(entry));
    }
    if (scene.light_list) {
        LightListData data;
        for (int light : scene.light_list->lights)
            data.scene_objects.push_back(scene_object(light));
        list_ = std::move(data);
        list_mode_ = scene.light_list->mode == ListMode::exclude ? 1 : 0;
    }
}

std::vector<PointLightEntry> SceneLights::entries() const { return entries_; }

void* SceneLights::scene_object(int index) const {
    return const_cast<LightObject*>(&objects_.at(static_cast<std::size_t>(index)));
}

}  // namespace tmhost
