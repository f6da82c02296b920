// The host's list library (TM_LIBRARY_LIST): the include/exclude light list of a shader parameter,
// and the render-time handles built from it.
//
// The list's data is a LightListData that whoever sets up the node owns and lends to the node's
// container with set_custom(id, TM_LIBRARY_LIST, &data). listlib_build copies the set into a handle
// of the host's, so the data may change or go while a render runs; the module frees the handle
// with listlib_free. Handles still live are what the module left behind.
//
// Threads: a render asks listlib_contains for every light at every sample point, from several
// threads at once; build and free may come from any thread too. A handle is only looked up, never
// followed, until it is known to be live.
#ifndef TMHOST_LIST_LIBRARY_H
#define TMHOST_LIST_LIBRARY_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "host/core/container_store.h"
#include "host/core/misuse_log.h"
#include "host_api.h"

namespace tmhost {

struct LightListData {
    std::vector<void*> scene_objects;  // a light's scene object, as its LightRecord carries it
};

class ListLibrary {
public:
    ListLibrary(const ContainerStore& containers, MisuseLog& misuses);
    ~ListLibrary();
    ListLibrary(const ListLibrary&) = delete;
    ListLibrary& operator=(const ListLibrary&) = delete;

    // What general_library_table hands out. A test may overwrite its slots; restore_table()
    // puts the library's own functions and bound back.
    ListLibraryTable& table() { return table_; }
    const ListLibraryTable& table() const { return table_; }
    void restore_table() { table_ = own_table(); }
    // The library's own functions and bound, which restore_table() and restore() put back.
    static ListLibraryTable own_table();

    // The table's functions, for its C entries. List data must be lent through a live container
    // as custom data of type TM_LIBRARY_LIST; anything else is reported and counts as no list.
    int32_t count(void* list_data);
    void* build(void* list_data, int32_t setup_word, int32_t zero);
    int32_t contains(void* handle, void* scene_object) const;  // 1 listed, 0 not or unknown
    void free(void* handle);

    std::size_t live_count() const;
    // One text per live handle, oldest first: "2 scene objects".
    std::vector<std::string> live_descriptions() const;

private:
    struct Handle {
        uint32_t serial = 0;
        std::vector<void*> objects;  // sorted, no repeats
    };

    const LightListData* list_for(void* list_data, const char* operation);

    const ContainerStore& containers_;
    MisuseLog& misuses_;
    ListLibraryTable table_;
    mutable std::shared_mutex mutex_;
    std::map<const void*, std::unique_ptr<Handle>> live_;
    // Freed handles, kept while the library lives: a thread's cached handle never dangles, and
    // no new handle can take a freed one's address, so a second free is always told apart.
    std::map<const void*, std::unique_ptr<Handle>> freed_;
    const uint64_t instance_;              // tells libraries apart in the threads' caches
    std::atomic<uint64_t> generation_{0};  // raised by every free: cached handles go stale
    uint32_t last_serial_ = 0;
};

}  // namespace tmhost

#endif
