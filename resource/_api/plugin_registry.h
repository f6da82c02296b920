// Hands a plug-in's registration record to the host.
#ifndef TONEMIX_PLUGIN_REGISTRY_H
#define TONEMIX_PLUGIN_REGISTRY_H

#include "host_api.h"
#include "host_string.h"

// general_register_plugin with TM_REGISTRATION_API in front; the host's result unchanged (non-zero:
// registered). The host copies the record during the call.
int32_t register_plugin(int32_t type, int32_t id, const HostString& name, void* record,
                        int32_t size);

#endif
