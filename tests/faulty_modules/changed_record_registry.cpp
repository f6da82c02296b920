// The module's register_plugin, except that a shader's record is first handed to the fault.
#include "changed_record.h"
#include "host_binding.h"
#include "plugin_registry.h"

int32_t register_plugin(int32_t type, int32_t id, const HostString& name, void* record,
                        int32_t size) {
    if (type == TM_PLUGIN_TYPE_SHADER && size == static_cast<int32_t>(sizeof(ShaderRegistration))) {
        change_shader_record(*static_cast<ShaderRegistration*>(record));
    }
    return host().general->register_plugin(TM_REGISTRATION_API, type, id, name.raw(), record, size);
}
