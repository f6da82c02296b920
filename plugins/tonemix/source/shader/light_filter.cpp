#include "light_filter.h"

#include "tonemix_parameters.h"

int32_t listlib_count(ListDataHandle list_data) {
    const ListLibraryTable* table = list_library(TM_LISTLIB_COUNT_OFFSET);
    if (table == nullptr || table->listlib_count == nullptr) return 0;
    return table->listlib_count(list_data);
}

ListHandle listlib_build(ListDataHandle list_data, int32_t setup_word, int32_t zero) {
    const ListLibraryTable* table = list_library(TM_LISTLIB_BUILD_OFFSET);
    if (table == nullptr || table->listlib_build == nullptr) return nullptr;
    return table->listlib_build(list_data, setup_word, zero);
}

namespace {

// A list the library cannot give back would outlive the render, so none is built then.
bool lists_can_be_freed() {
    const ListLibraryTable* table = list_library(TM_LISTLIB_FREE_OFFSET);
    return table != nullptr && table->listlib_free != nullptr;
}

}  // namespace

void LightFilter::build(ListDataHandle list_data, int32_t list_mode, const RenderSetup* setup) {
    exclude_listed = list_mode == LIST_MODE_EXCLUDE ? 1 : 0;
    release();
    light_list = list_data != nullptr && lists_can_be_freed() && listlib_count(list_data) != 0
                     ? listlib_build(list_data, setup != nullptr ? setup->list_build_word : 0, 0)
                     : nullptr;
}

void LightFilter::release() {
    if (light_list == nullptr) return;
    const ListLibraryTable* table = list_library(TM_LISTLIB_FREE_OFFSET);
    if (table == nullptr || table->listlib_free == nullptr) return;
    table->listlib_free(light_list);
    light_list = nullptr;
}
