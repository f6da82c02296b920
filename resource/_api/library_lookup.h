// Host libraries: function tables found by id at run time, cached once per library, and handed
// out only when long enough for the function the caller needs.
#ifndef TONEMIX_LIBRARY_LOOKUP_H
#define TONEMIX_LIBRARY_LOOKUP_H

#include "host_api.h"

// Asks the host for the table of library_id; keeps a found table in *cache (when cache is given).
// Null when the host has no such library or answers no table.
LibraryTable* find_library_table_from_host(int32_t library_id, LibraryTable** cache);

// The table of library_id when it serves byte offset `offset` (offset <= its bound), else null.
// A found table is kept in *cache (when cache is given) even if this call's offset is beyond it;
// a failed lookup leaves *cache null so the next call asks the host again. Inline: once the slot
// holds the table, a call site (listlib_contains runs for every light at every sample point)
// reads the slot and compares the bound, without a call.
inline LibraryTable* find_library_table(int32_t library_id, int32_t offset, LibraryTable** cache) {
    LibraryTable* table = cache != nullptr ? *cache : nullptr;
    if (table == nullptr) table = find_library_table_from_host(library_id, cache);
    if (table == nullptr) return nullptr;
    return offset <= table->bound ? table : nullptr;
}

// One cache slot per library the module uses; never cleared while the module is loaded.
extern LibraryTable* description_library_cache;
extern LibraryTable* list_library_cache;

// The typed table of a library when it serves the function at `offset`, else null.
template <class Table>
const Table* library_serving(int32_t library_id, int32_t offset, LibraryTable** cache) {
    return reinterpret_cast<const Table*>(find_library_table(library_id, offset, cache));
}

#endif
