// The include/exclude light list: the host's list value of TONEMIX_LIGHTS turned into a render-time
// handle at set-up, asked about every light while shading, and released at tear-down.
#ifndef TONEMIX_LIGHT_FILTER_H
#define TONEMIX_LIGHT_FILTER_H

#include "host_api.h"
#include "library_lookup.h"

// The host's list library; each answers 0 (null) when the library or the function is missing.
int32_t listlib_count(ListDataHandle list_data);
ListHandle listlib_build(ListDataHandle list_data, int32_t setup_word, int32_t zero);

// The list library's table when it serves the function at `offset`.
inline const ListLibraryTable* list_library(int32_t offset) {
    return library_serving<ListLibraryTable>(TM_LIBRARY_LIST, offset, &list_library_cache);
}

inline int32_t listlib_contains(ListHandle handle, SceneObjectHandle scene_object) {
    const ListLibraryTable* table = list_library(TM_LISTLIB_CONTAINS_OFFSET);
    if (table == nullptr || table->listlib_contains == nullptr) return 0;
    return table->listlib_contains(handle, scene_object);
}

struct LightFilter {
    ListHandle light_list = nullptr;  // owned from build until release; null: no list in use
    int32_t exclude_listed = 0;       // 1: listed lights are left out; 0: only listed lights count

    // Any handle from an earlier set-up that was not torn down is released first, so the host's
    // list object does not leak. The set-up record's word is passed on to the library unread.
    void build(ListDataHandle list_data, int32_t list_mode, const RenderSetup* setup);
    // Gives the handle back through the list library; keeps it when the library cannot free it.
    void release();

    bool in_use() const { return light_list != nullptr; }
    // Only meaningful while in_use(). A result other than 0 or 1 never equals exclude_listed.
    bool accepts(SceneObjectHandle scene_object) const {
        return listlib_contains(light_list, scene_object) != exclude_listed;
    }
};

#endif
