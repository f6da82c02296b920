#include "host/core/operations.h"

#include "host_api.h"

namespace tmhost {

namespace {

#define TMHOST_OP(table_type, sub, slot, op) \
    OperationInfo { Operation::op, #op, SubTable::sub, offsetof(table_type, slot) }

const std::vector<OperationInfo> operations = {
    TMHOST_OP(HostGeneral, general, free, general_free),
    TMHOST_OP(HostGeneral, general, print, general_print),
    TMHOST_OP(HostGeneral, general, register_plugin, general_register_plugin),
    TMHOST_OP(HostGeneral, general, find_library, general_find_library),
    TMHOST_OP(HostGeneral, general, library_table, general_library_table),
    TMHOST_OP(HostGeneral, general, alloc, general_alloc),
    TMHOST_OP(HostRender, render, illuminate, render_illuminate),
    TMHOST_OP(HostRender, render, get_light, render_get_light),
    TMHOST_OP(HostRender, render, light_count, render_light_count),
    TMHOST_OP(HostContainerTable, container, set_real, container_set_real),
    TMHOST_OP(HostContainerTable, container, set_bool, container_set_bool),
    TMHOST_OP(HostContainerTable, container, set_long, container_set_long),
    TMHOST_OP(HostContainerTable, container, get_real, container_get_real),
    TMHOST_OP(HostContainerTable, container, get_bool, container_get_bool),
    TMHOST_OP(HostContainerTable, container, get_long, container_get_long),
    TMHOST_OP(HostContainerTable, container, find_index, container_find_index),
    TMHOST_OP(HostContainerTable, container, get_data, container_get_data),
    TMHOST_OP(HostStringTable, string, length, string_length),
    TMHOST_OP(HostStringTable, string, insert, string_insert),
    TMHOST_OP(HostStringTable, string, init, string_init),
    TMHOST_OP(HostStringTable, string, set_cstr, string_set_cstr),
    TMHOST_OP(HostStringTable, string, free, string_free),
    TMHOST_OP(HostStringTable, string, copy, string_copy),
    TMHOST_OP(HostFilenameTable, filename, alloc, filename_alloc),
    TMHOST_OP(HostFilenameTable, filename, free, filename_free),
    TMHOST_OP(HostFilenameTable, filename, set_string, filename_set_string),
    TMHOST_OP(HostFilenameTable, filename, derive, filename_derive),
    TMHOST_OP(HostFilenameTable, filename, init, filename_init),
    TMHOST_OP(HostFilenameTable, filename, destroy, filename_destroy),
    TMHOST_OP(HostFilenameTable, filename, copy, filename_copy),
    TMHOST_OP(HostResourceTable, resource, load, resource_load),
    TMHOST_OP(HostResourceTable, resource, free, resource_free),
    TMHOST_OP(HostNodeTable, node, get_container, node_get_container),
    TMHOST_OP(HostCustomDataTable, customdata, get, customdata_get),
    TMHOST_OP(DescriptionLibraryTable, description_library, desclib_register, desclib_register),
    TMHOST_OP(DescriptionLibraryTable, description_library, desclib_get_id, desclib_get_id),
    TMHOST_OP(ListLibraryTable, list_library, listlib_count, listlib_count),
    TMHOST_OP(ListLibraryTable, list_library, listlib_build, listlib_build),
    TMHOST_OP(ListLibraryTable, list_library, listlib_contains, listlib_contains),
    TMHOST_OP(ListLibraryTable, list_library, listlib_free, listlib_free),
};

#undef TMHOST_OP

}  // namespace

const std::vector<OperationInfo>& all_operations() { return operations; }

const OperationInfo& operation_info(Operation operation) {
    return operations[static_cast<std::size_t>(operation)];
}

const OperationInfo* find_operation(std::string_view name) {
    for (const OperationInfo& info : operations) {
        if (name == info.name) return &info;
    }
    return nullptr;
}

}  // namespace tmhost
