#include "plugin_registry.h"

#include "host_binding.h"

int32_t register_plugin(int32_t type, int32_t id, const HostString& name, void* record,
                        int32_t size) {
    return host().general->register_plugin(TM_REGISTRATION_API, type, id, name.raw(), record, size);
}
