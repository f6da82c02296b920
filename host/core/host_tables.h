// The function table handed to the module, with every sub-table it points to, in one block.
#ifndef TMHOST_HOST_TABLES_H
#define TMHOST_HOST_TABLES_H

#include <cstddef>
#include <cstring>

#include "host/core/operations.h"
#include "host_api.h"

namespace tmhost {

struct HostTables {
    HostTable table;
    HostGeneral general;
    HostRender render;
    HostContainerTable container;
    HostStringTable string;
    HostFilenameTable filename;
    HostResourceTable resource;
    HostNodeTable node;
    HostCustomDataTable customdata;

    // Every slot the stand-in serves holds its operation; every other slot, including the gaps
    // between named slots, holds a trap that reports the call (a module calling a slot the host
    // does not serve is a boundary fault worth seeing, not a jump to address zero).
    explicit HostTables(int32_t version);
    HostTables(const HostTables&) = delete;
    HostTables& operator=(const HostTables&) = delete;

    unsigned char* bytes(SubTable sub);
    const unsigned char* bytes(SubTable sub) const {
        return const_cast<HostTables*>(this)->bytes(sub);
    }
    // Copies one operation's slot from other, such as the pristine set kept for restore().
    void copy_slot(const HostTables& other, Operation operation);
    bool same_slot(const HostTables& other, Operation operation) const;
};

// One function slot of a table, at its byte offset, copied from another table of the kind or
// compared with it.
template <typename Table>
void copy_table_slot(const Table& from, Table& to, std::size_t offset) {
    std::memcpy(reinterpret_cast<unsigned char*>(&to) + offset,
                reinterpret_cast<const unsigned char*>(&from) + offset, sizeof(void*));
}
template <typename Table>
bool same_table_slot(const Table& a, const Table& b, std::size_t offset) {
    return std::memcmp(reinterpret_cast<const unsigned char*>(&a) + offset,
                       reinterpret_cast<const unsigned char*>(&b) + offset, sizeof(void*)) == 0;
}

}  // namespace tmhost

#endif
