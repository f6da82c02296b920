// The module's register_plugin, with the fault's act first.
#include "acts_at_start.h"
#include "host_binding.h"
#include "plugin_registry.h"

int32_t register_plugin(int32_t type, int32_t id, const HostString& name, void* record,
                        int32_t size) {
    act_at_start();
    return host().general->register_plugin(TM_REGISTRATION_API, type, id, name.raw(), record, size);
}
