#include "library_lookup.h"

#include "host_binding.h"

LibraryTable* description_library_cache = nullptr;
LibraryTable* list_library_cache = nullptr;

LibraryTable* find_library_table_from_host(int32_t library_id, LibraryTable** cache) {
    LibraryHandle library = host().general->find_library(library_id, TM_LIBRARY_FIND_SIZE);
    if (library == nullptr) return nullptr;
    void* unused1 = nullptr;
    void* unused2 = nullptr;
    void* found = nullptr;
    if (host().general->library_table(library, &unused1, &unused2, &found) == 0) return nullptr;
    if (found == nullptr) return nullptr;
    LibraryTable* table = static_cast<LibraryTable*>(found);
    if (cache != nullptr) *cache = table;
    return table;
}
