#include "host/core/list_library.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>

#include "host/core/entry_call.h"
#include "host/core/handles.h"

namespace tmhost {

namespace {

int32_t TM_CDECL listlib_count(ListDataHandle list_data) {
    EntryCall call(Operation::listlib_count, {word(list_data)});
    return call ? call.host().list_library().count(list_data) : 0;
}

ListHandle TM_CDECL listlib_build(ListDataHandle list_data, int32_t setup_word, int32_t zero) {
    EntryCall call(Operation::listlib_build, {word(list_data), word(setup_word), word(zero)});
    if (!call) return nullptr;
    return handle_of<ListHandle>(call.host().list_library().build(list_data, setup_word, zero));
}

int32_t TM_CDECL listlib_contains(ListHandle handle, SceneObjectHandle scene_object) {
    EntryCall call(Operation::listlib_contains, {word(handle), word(scene_object)});
    return call ? call.host().list_library().contains(handle, scene_object) : 0;
}

void TM_CDECL listlib_free(ListHandle handle) {
    EntryCall call(Operation::listlib_free, {word(handle)});
    if (call) call.host().list_library().free(handle);
}

uint64_t next_instance() {
    static std::atomic<uint64_t> last{0};
    return ++last;
}

}  // namespace

ListLibrary::ListLibrary(const ContainerStore& containers, MisuseLog& misuses)
    : containers_(containers), misuses_(misuses), instance_(next_instance()) {
    restore_table();
}

ListLibrary::~ListLibrary() = default;

ListLibraryTable ListLibrary::own_table() {
    ListLibraryTable table;
    std::memset(&table, 0, sizeof table);
    table.header.bound = TM_LISTLIB_FREE_OFFSET;
    table.listlib_count = listlib_count;
    table.listlib_build = listlib_build;
    table.listlib_contains = listlib_contains;
    table.listlib_free = listlib_free;
    return table;
}

const LightListData* ListLibrary::list_for(void* list_data, const char* operation) {
    if (list_data == nullptr) return nullptr;
    // Only data a container lends is known to be a LightListData; anything else would be read
    // as one and could be any bytes at all.
    if (!containers_.lends(list_data, TM_LIBRARY_LIST)) {
        misuses_.add(std::string(operation) + ": not list data lent by a host container");
        return nullptr;
    }
    return static_cast<const LightListData*>(list_data);
}

int32_t ListLibrary::count(void* list_data) {
    const LightListData* list = list_for(list_data, "listlib_count");
    return list != nullptr ? static_cast<int32_t>(list->scene_objects.size()) : 0;
}

void* ListLibrary::build(void* list_data, int32_t, int32_t zero) {
    if (zero != 0) misuses_.add("listlib_build: third argument is not 0");
    const LightListData* list = list_for(list_data, "listlib_build");
    if (list == nullptr) return nullptr;
    auto handle = std::make_unique<Handle>();
    handle->objects = list->scene_objects;
    std::sort(handle->objects.begin(), handle->objects.end(), std::less<void*>());
    handle->objects.erase(std::unique(handle->objects.begin(), handle->objects.end()),
                          handle->objects.end());
    std::unique_lock<std::shared_mutex> lock(mutex_);
    handle->serial = ++last_serial_;
    void* key = handle.get();
    live_.emplace(key, std::move(handle));
    return key;
}

int32_t ListLibrary::contains(void* handle, void* scene_object) const {
    // Asked for every light at every sample point from every render thread: a shared lock here
    // made the threads take turns on the lock's cache line (2 threads rendered 1.6 x as fast as
    // 1). Each thread keeps the last handle it looked up, good until the next free.
    struct Cached {
        uint64_t instance = 0;
        uint64_t generation = 0;
        const void* handle = nullptr;
        const Handle* found = nullptr;
    };
    thread_local Cached cached;
    const uint64_t generation = generation_.load(std::memory_order_acquire);
    const Handle* found = nullptr;
    if (cached.instance == instance_ && cached.generation == generation &&
        cached.handle == handle) {
        found = cached.found;
    } else {
        std::shared_lock<std::shared_mutex> lock(mutex_);
        auto live = live_.find(handle);
        if (live == live_.end()) {
            misuses_.add(handle == nullptr ? "listlib_contains: null handle"
                                           : "listlib_contains: not a live list handle");
            return 0;
        }
        found = live->second.get();
        cached = Cached{instance_, generation, handle, found};
    }
    const std::vector<void*>& objects = found->objects;
    const bool listed =
        std::binary_search(objects.begin(), objects.end(), scene_object, std::less<void*>());
    return listed ? 1 : 0;
}

void ListLibrary::free(void* handle) {
    std::unique_lock<std::shared_mutex> lock(mutex_);
    auto found = live_.find(handle);
    if (found != live_.end()) {
        freed_.emplace(handle, std::move(found->second));
        live_.erase(found);
        generation_.fetch_add(1, std::memory_order_release);
        return;
    }
    if (handle == nullptr) {
        misuses_.add("listlib_free: null handle");
    } else if (freed_.count(handle) != 0) {
        misuses_.add("listlib_free: handle was already freed");
    } else {
        misuses_.add("listlib_free: not a list handle of the host");
    }
}

std::size_t ListLibrary::live_count() const {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    return live_.size();
}

std::vector<std::string> ListLibrary::live_descriptions() const {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    std::vector<const Handle*> handles;
    for (const auto& entry : live_) handles.push_back(entry.second.get());
    // By serial, not by address: the order must not depend on where the allocator put them.
    std::sort(handles.begin(), handles.end(),
              [](const Handle* a, const Handle* b) { return a->serial < b->serial; });
    std::vector<std::string> out;
    for (const Handle* handle : handles) {
        out.push_back(std::to_string(handle->objects.size()) + " scene object" +
                      (handle->objects.size() == 1 ? "" : "s"));
    }
    return out;
}

}  // namespace tmhost
