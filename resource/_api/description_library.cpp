#include "description_library.h"

#include "library_lookup.h"

namespace {
// Stands in for a description id the host cannot resolve: parameter id 0.
const int32_t fallback_description_id[3] = {0, 0, 0};

const DescriptionLibraryTable* description_library(int32_t offset) {
    return library_serving<DescriptionLibraryTable>(TM_LIBRARY_DESCRIPTION, offset,
                                                    &description_library_cache);
}
}  // namespace

int32_t desclib_register(int32_t plugin_id, const HostString& description_name,
                         int32_t resource_handle) {
    const DescriptionLibraryTable* table = description_library(TM_DESCLIB_REGISTER_OFFSET);
    if (table == nullptr || table->desclib_register == nullptr) return 0;
    return table->desclib_register(plugin_id, description_name.raw(), resource_handle);
}

const int32_t* desclib_get_id(DescriptionIdHandle description_id, int32_t level) {
    const DescriptionLibraryTable* table = description_library(TM_DESCLIB_GET_ID_OFFSET);
    if (table == nullptr || table->desclib_get_id == nullptr) return fallback_description_id;
    const int32_t* record = table->desclib_get_id(description_id, level);
    return record != nullptr ? record : fallback_description_id;
}
