#include "shader_registration.h"

#include "c4d_resource.h"
#include "description_library.h"
#include "memory.h"
#include "plugin_registry.h"
#include "tonemix_shader.h"

const char TONEMIX_PLUGIN_NAME[] = "Tonemix";
const char TONEMIX_DESCRIPTION_NAME[] = "Xtonemix";

namespace {

// Dispatch entries: the host calls them as member functions on a node. Each hands its words to one
// virtual operation and its result back, adding nothing.
TonemixShader* as_shader(void* node) { return static_cast<TonemixShader*>(node); }

int32_t TM_THISCALL entry_init_defaults(void* node, HostNodeHandle host_node) {
    return as_shader(node)->init_defaults(host_node);
}
void TM_THISCALL entry_node_hook_2(void* node, int32_t a) { as_shader(node)->node_hook_2(a); }
int32_t TM_THISCALL entry_node_hook_3(void* node, int32_t a, int32_t b, int32_t c) {
    return as_shader(node)->node_hook_3(a, b, c);
}
int32_t TM_THISCALL entry_node_hook_4(void* node, int32_t a, int32_t b) {
    return as_shader(node)->node_hook_4(a, b);
}
int32_t TM_THISCALL entry_node_hook_5(void* node, int32_t a, int32_t b, int32_t c) {
    return as_shader(node)->node_hook_5(a, b, c);
}
int32_t TM_THISCALL entry_node_hook_6(void* node, int32_t a, int32_t b, int32_t c, int32_t d,
                                      int32_t e) {
    return as_shader(node)->node_hook_6(a, b, c, d, e);
}
void TM_THISCALL entry_node_hook_7(void* node, int32_t a, int32_t b) {
    as_shader(node)->node_hook_7(a, b);
}
int32_t TM_THISCALL entry_node_hook_8(void* node, int32_t a) {
    return as_shader(node)->node_hook_8(a);
}
int32_t TM_THISCALL entry_node_hook_9(void* node, int32_t a, int32_t b, int32_t c) {
    return as_shader(node)->node_hook_9(a, b, c);
}
int32_t TM_THISCALL entry_node_hook_10(void* node, int32_t a, int32_t b, int32_t c) {
    return as_shader(node)->node_hook_10(a, b, c);
}
int32_t TM_THISCALL entry_node_hook_11(void* node, int32_t a, int32_t b, int32_t c, int32_t d) {
    return as_shader(node)->node_hook_11(a, b, c, d);
}
int32_t TM_THISCALL entry_is_parameter_enabled(void* node, HostNodeHandle host_node,
                                               DescriptionIdHandle description_id, int32_t a,
                                               int32_t b, int32_t c) {
    return as_shader(node)->is_parameter_enabled(host_node, description_id, a, b, c);
}
int32_t TM_THISCALL entry_node_hook_13(void* node, int32_t a, int32_t b, int32_t c, int32_t d) {
    return as_shader(node)->node_hook_13(a, b, c, d);
}
int32_t TM_THISCALL entry_shader_hook_14(void* node, int32_t a, int32_t b, int32_t c, int32_t d,
                                         int32_t e) {
    return as_shader(node)->shader_hook_14(a, b, c, d, e);
}
int32_t TM_THISCALL entry_shader_hook_15(void* node, int32_t a) {
    return as_shader(node)->shader_hook_15(a);
}
int32_t TM_THISCALL entry_prepare_render(void* node, HostNodeHandle host_node, RenderSetup* setup) {
    return as_shader(node)->prepare_render(host_node, setup);
}
void TM_THISCALL entry_release_render(void* node, int32_t a) { as_shader(node)->release_render(a); }
float* TM_THISCALL entry_compute_output(void* node, float* colour_out, int32_t a,
                                        ShadingInput* input) {
    return as_shader(node)->compute_output(colour_out, a, input);
}

const int32_t kRecordSize = static_cast<int32_t>(sizeof(ShaderRegistration));

}  // namespace

void TM_CDECL free_node(void* node) {
    if (node != nullptr) as_shader(node)->destroy(1);
}

void fill_node_record(ShaderRegistration* record, int32_t info, ShaderFactory factory,
                      int32_t extra, int32_t word6, int32_t word7) {
    record->info = info;
    record->free_node = free_node;
    record->word6 = word6;
    record->word7 = word7;
    record->zero_44 = 0;
    record->extra = extra;
    record->create = factory;
    record->init_defaults = entry_init_defaults;
    record->node_hook_2 = entry_node_hook_2;
    record->node_hook_3 = entry_node_hook_3;
    record->node_hook_4 = entry_node_hook_4;
    record->node_hook_6 = entry_node_hook_6;
    record->node_hook_5 = entry_node_hook_5;
    record->node_hook_8 = entry_node_hook_8;
    record->node_hook_7 = entry_node_hook_7;
    record->node_hook_10 = entry_node_hook_10;
    record->node_hook_11 = entry_node_hook_11;
    record->node_hook_13 = entry_node_hook_13;
    record->is_parameter_enabled = entry_is_parameter_enabled;
    record->node_hook_9 = entry_node_hook_9;
}

void fill_shader_record(ShaderRegistration* record, ShaderFactory factory, int32_t info,
                        int32_t word6, int32_t word7) {
    fill_node_record(record, info, factory, 0, word6, word7);
    record->shader_hook_15 = entry_shader_hook_15;
    record->prepare_render = entry_prepare_render;
    record->release_render = entry_release_render;
    record->shader_hook_14 = entry_shader_hook_14;
    record->compute_output = entry_compute_output;
}

int32_t register_description(int32_t plugin_id, const HostString& description_name,
                             int32_t resource_handle) {
    if (resource_handle == 0) resource_handle = plugin_resource.handle();
    return desclib_register(plugin_id, description_name, resource_handle);
}

int32_t register_shader_plugin(int32_t id, const HostString& name, int32_t info,
                               ShaderFactory factory, const HostString& description_name,
                               int32_t word6, int32_t word7) {
    if (description_name.length() != 0 && register_description(id, description_name, 0) == 0) {
        return 0;
    }
    ShaderRegistration record;
    mem_fill(&record, kRecordSize, 0);
    fill_shader_record(&record, factory, info, word6, word7);
    return register_plugin(TM_PLUGIN_TYPE_SHADER, id, name, &record, kRecordSize);
}

int32_t register_shader() {
    HostString name(TONEMIX_PLUGIN_NAME);
    HostString description(TONEMIX_DESCRIPTION_NAME);
    return register_shader_plugin(TONEMIX_PLUGIN_ID, name, TONEMIX_INFO, create_shader, description,
                                  0, 0);
}
