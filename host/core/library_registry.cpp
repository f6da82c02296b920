#include "host/core/library_registry.h"

namespace tmhost {

void LibraryRegistry::install(int32_t library_id, LibraryTable* table) {
    std::unique_ptr<Library>& library = libraries_[library_id];
    if (!library) library = std::make_unique<Library>();
    library->id = library_id;
    library->table = table;
}

void LibraryRegistry::remove(int32_t library_id) { libraries_.erase(library_id); }

void* LibraryRegistry::find(int32_t library_id) const {
    auto found = libraries_.find(library_id);
    return found != libraries_.end() ? found->second.get() : nullptr;
}

LibraryTable* LibraryRegistry::table_of(const void* handle) const {
    // Compared, never dereferenced: the handle comes from the module.
    for (const auto& entry : libraries_) {
        if (entry.second.get() == handle) return entry.second->table;
    }
    return nullptr;
}

}  // namespace tmhost
