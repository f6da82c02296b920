// The registration of the Tonemix shader: its description and the record through which the host
// creates, drives and destroys nodes.
#ifndef TONEMIX_SHADER_REGISTRATION_H
#define TONEMIX_SHADER_REGISTRATION_H

#include "host_api.h"
#include "host_string.h"

enum : int32_t {
    TONEMIX_PLUGIN_ID = 1007539,
    TONEMIX_INFO = 0,
};
extern const char TONEMIX_PLUGIN_NAME[];
extern const char TONEMIX_DESCRIPTION_NAME[];

// Called by the host with a node to destroy; null is ignored.
void TM_CDECL free_node(void* node);

// Both write into a record that is already all zero.
void fill_node_record(ShaderRegistration* record, int32_t info, ShaderFactory factory,
                      int32_t extra, int32_t word6, int32_t word7);
void fill_shader_record(ShaderRegistration* record, ShaderFactory factory, int32_t info,
                        int32_t word6, int32_t word7);

// The host's description registration result; 0 when the library cannot be reached. A zero
// resource handle stands for the module's own resource.
int32_t register_description(int32_t plugin_id, const HostString& description_name,
                             int32_t resource_handle);

// 0 when the description could not be registered (the host then never sees the plug-in);
// otherwise the host's registration result.
int32_t register_shader_plugin(int32_t id, const HostString& name, int32_t info,
                               ShaderFactory factory, const HostString& description_name,
                               int32_t word6, int32_t word7);

// Registers the Tonemix shader. Non-zero on success.
int32_t register_shader();

#endif
