// Stands in for the module's plugin_registry.cpp: its shader is registered under the id after its
// own, as a module built with a wrong plug-in id would register it. The host finds no shader of
// the id it asks for.
#include "host_binding.h"
#include "plugin_registry.h"

int32_t register_plugin(int32_t type, int32_t id, const HostString& name, void* record,
                        int32_t size) {
    const int32_t registered_id = type == TM_PLUGIN_TYPE_SHADER ? id + 1 : id;
    return host().general->register_plugin(TM_REGISTRATION_API, type, registered_id, name.raw(),
                                           record, size);
}
