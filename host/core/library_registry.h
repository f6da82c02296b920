// Host libraries by id, as general_find_library and general_library_table serve them.
//
// The stand-in host installs its own description and list libraries here when it starts; a test
// may remove them or install a table of its own for an id. The table stays the installer's and
// must outlive its installation.
#ifndef TMHOST_LIBRARY_REGISTRY_H
#define TMHOST_LIBRARY_REGISTRY_H

#include <cstdint>
#include <map>
#include <memory>

#include "host_api.h"

namespace tmhost {

class LibraryRegistry {
public:
    // Replaces an earlier table for the id; handles found before stay valid and see the new table.
    void install(int32_t library_id, LibraryTable* table);
    // Handles found before become unknown: library_table then answers 0 for them.
    void remove(int32_t library_id);

    // An opaque non-null handle, or null when no library has that id.
    void* find(int32_t library_id) const;
    // The table behind a handle from find, or null for a handle the registry does not know.
    LibraryTable* table_of(const void* handle) const;

private:
    struct Library {
        int32_t id = 0;
        LibraryTable* table = nullptr;
    };
    std::map<int32_t, std::unique_ptr<Library>> libraries_;
};

}  // namespace tmhost

#endif
