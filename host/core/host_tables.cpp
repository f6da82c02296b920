#include "host/core/host_tables.h"

#include <cstring>

#include "host/core/entries.h"
#include "host/core/stand_in_host.h"

namespace tmhost {

namespace {

template <typename Table>
void fill_with_trap(Table& table) {
    static_assert(sizeof(Table) % sizeof(void*) == 0, "sub-tables are whole words");
    int32_t(TM_CDECL * trap)() = &unserved_slot;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&table);
    for (std::size_t at = 0; at < sizeof(Table); at += sizeof trap) {
        std::memcpy(bytes + at, &trap, sizeof trap);
    }
}

}  // namespace

int32_t TM_CDECL unserved_slot() {
    if (StandInHost* host = StandInHost::active()) {
        host->misuses().add("the module called a host slot that the host does not serve");
    }
    return 0;
}

HostTables::HostTables(int32_t version) {
    std::memset(&table, 0, sizeof table);  // gaps of HostTable are sub-table pointers: null
    fill_with_trap(general);
    fill_with_trap(render);
    fill_with_trap(container);
    fill_with_trap(string);
    fill_with_trap(filename);
    fill_with_trap(resource);
    fill_with_trap(node);
    fill_with_trap(customdata);
    install_general_entries(general);
    install_render_entries(render);
    install_container_entries(container);
    install_string_entries(string);
    install_filename_entries(filename);
    install_resource_entries(resource);
    install_node_entries(node);
    install_customdata_entries(customdata);

    table.version = version;
    table.general = &general;
    table.render = &render;
    table.container = &container;
    table.string = &string;
    table.filename = &filename;
    table.resource = &resource;
    table.node = &node;
    table.customdata = &customdata;
}

unsigned char* HostTables::bytes(SubTable sub) {
    switch (sub) {
    case SubTable::general:
        return reinterpret_cast<unsigned char*>(&general);
    case SubTable::render:
        return reinterpret_cast<unsigned char*>(&render);
    case SubTable::container:
        return reinterpret_cast<unsigned char*>(&container);
    case SubTable::string:
        return reinterpret_cast<unsigned char*>(&string);
    case SubTable::filename:
        return reinterpret_cast<unsigned char*>(&filename);
    case SubTable::resource:
        return reinterpret_cast<unsigned char*>(&resource);
    case SubTable::node:
        return reinterpret_cast<unsigned char*>(&node);
    case SubTable::customdata:
        return reinterpret_cast<unsigned char*>(&customdata);
    case SubTable::description_library:
    case SubTable::list_library:
        break;  // the libraries keep their own tables
    }
    return nullptr;
}

void HostTables::copy_slot(const HostTables& other, Operation operation) {
    const OperationInfo& info = operation_info(operation);
    if (is_library(info.table)) return;
    std::memcpy(bytes(info.table) + info.offset, other.bytes(info.table) + info.offset,
                sizeof(void*));
}

bool HostTables::same_slot(const HostTables& other, Operation operation) const {
    const OperationInfo& info = operation_info(operation);
    if (is_library(info.table)) return true;
    return std::memcmp(bytes(info.table) + info.offset, other.bytes(info.table) + info.offset,
                       sizeof(void*)) == 0;
}

}  // namespace tmhost
