#include "host_binding.h"

HostTable* bound_host_table = nullptr;

int32_t bind_host_table(HostTable* table) {
    bound_host_table = table;
    return table->version;
}
