// Every host operation the stand-in serves, by name, with the slot it occupies in its sub-table.
//
// The names are the ones the boundary header uses in its comments ("string_init",
// "container_find_index", ...). The journal, fail() and restore() all speak in these names. The
// functions of the host's own libraries are operations too, at their offsets in the library's
// table.
#ifndef TMHOST_OPERATIONS_H
#define TMHOST_OPERATIONS_H

#include <cstddef>
#include <string_view>
#include <vector>

namespace tmhost {

enum class SubTable {
    general,
    render,
    container,
    string,
    filename,
    resource,
    node,
    customdata,
    description_library,  // the tables general_library_table hands out
    list_library,
};

inline bool is_library(SubTable table) {
    return table == SubTable::description_library || table == SubTable::list_library;
}

enum class Operation {
    general_free,
    general_print,
    general_register_plugin,
    general_find_library,
    general_library_table,
    general_alloc,
    render_illuminate,
    render_get_light,
    render_light_count,
    container_set_real,
    container_set_bool,
    container_set_long,
    container_get_real,
    container_get_bool,
    container_get_long,
    container_find_index,
    container_get_data,
    string_length,
    string_insert,
    string_init,
    string_set_cstr,
    string_free,
    string_copy,
    filename_alloc,
    filename_free,
    filename_set_string,
    filename_derive,
    filename_init,
    filename_destroy,
    filename_copy,
    resource_load,
    resource_free,
    node_get_container,
    customdata_get,
    desclib_register,
    desclib_get_id,
    listlib_count,
    listlib_build,
    listlib_contains,
    listlib_free,
};

struct OperationInfo {
    Operation operation;
    const char* name;
    SubTable table;
    std::size_t offset;  // byte offset of the slot within its sub-table or library table
};

// All operations, in the order of the enum.
const std::vector<OperationInfo>& all_operations();
const OperationInfo& operation_info(Operation operation);
inline const char* operation_name(Operation operation) { return operation_info(operation).name; }
// Null for a name the stand-in does not serve.
const OperationInfo* find_operation(std::string_view name);

}  // namespace tmhost

#endif
