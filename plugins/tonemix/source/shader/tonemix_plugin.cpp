// The plug-in's start-up hooks: the banner, the resource load and the shader's registration.
#include "c4d_resource.h"
#include "host_string.h"
#include "plugin_hooks.h"
#include "shader_registration.h"

namespace {
const char kBannerPrefix[] = "- Tonemix ";
const char kVersion[] = "2.03";
}  // namespace

int32_t plugin_start() {
    {
        // Declared in this order so that they end in the host's order: the joined string, then
        // the version, then the prefix, all before the shader is registered.
        HostString prefix(kBannerPrefix);
        HostString version(kVersion);
        HostString banner = concat(prefix, version);
        console_print(banner);
    }
    return register_shader() != 0 ? 1 : 0;
}

int32_t plugin_message(int32_t id, void*) {
    switch (id) {
    case TM_PLUGIN_MESSAGE_LOAD_RESOURCES:
        return load_module_resources() == 1 ? 1 : 0;
    case TM_PLUGIN_MESSAGE_ZERO:
        return 1;
    default:
        return 0;
    }
}

void plugin_end() {}
