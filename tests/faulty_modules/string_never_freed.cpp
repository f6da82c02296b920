// Stands in for the module's plugin_registry.cpp. The host is handed a copy of the name made for
// the registration, which is ended only when the registration succeeds: a refusal leaves the
// copy's host string started.
#include <new>

#include "host_binding.h"
#include "plugin_registry.h"

int32_t register_plugin(int32_t type, int32_t id, const HostString& name, void* record,
                        int32_t size) {
    alignas(HostString) unsigned char space[sizeof(HostString)];
    HostString* registered_name = new (space) HostString(name);
    int32_t result = host().general->register_plugin(TM_REGISTRATION_API, type, id,
                                                     registered_name->raw(), record, size);
    if (result != 0) registered_name->~HostString();
    return result;
}
