// Stands in for the module's plugin_registry.cpp: every plug-in is registered twice under its id,
// as a module that runs its registration twice in one start would.
#include "host_binding.h"
#include "plugin_registry.h"

int32_t register_plugin(int32_t type, int32_t id, const HostString& name, void* record,
                        int32_t size) {
    const int32_t first =
        host().general->register_plugin(TM_REGISTRATION_API, type, id, name.raw(), record, size);
    host().general->register_plugin(TM_REGISTRATION_API, type, id, name.raw(), record, size);
    return first;
}
