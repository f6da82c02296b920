// Where every field of the boundary lies: each offset and size that host and module must agree
// on, checked when either side is compiled. Included at the end of host_api.h; tests read the
// same numbers from the tables' memory.
#ifndef TONEMIX_HOST_API_LAYOUT_H
#define TONEMIX_HOST_API_LAYOUT_H

#include <cstddef>
#include <cstdint>

static_assert(sizeof(void*) == 4, "the host boundary is 32-bit: build with -m32 or for i686");
static_assert(sizeof(float) == 4 && sizeof(int32_t) == 4, "reals and words are 32 bits");
static_assert(sizeof(HostStringStorage) == 16, "a host string occupies 16 bytes");
static_assert(sizeof(HostFilenameStorage) == 28, "a host file name occupies 28 bytes");
static_assert(offsetof(HostGeneral, free) == 0x04, "general_free");
static_assert(offsetof(HostGeneral, print) == 0x08, "general_print");
static_assert(offsetof(HostGeneral, register_plugin) == 0xec, "general_register_plugin");
static_assert(offsetof(HostGeneral, find_library) == 0x12c, "general_find_library");
static_assert(offsetof(HostGeneral, library_table) == 0x144, "general_library_table");
static_assert(offsetof(HostGeneral, alloc) == 0x148, "general_alloc");
static_assert(sizeof(HostGeneral) == 0x14c, "general sub-table size");
static_assert(offsetof(HostRender, illuminate) == 0x48, "render_illuminate");
static_assert(offsetof(HostRender, get_light) == 0x6c, "render_get_light");
static_assert(offsetof(HostRender, light_count) == 0x70, "render_light_count");
static_assert(sizeof(HostRender) == 0x74, "render sub-table size");
static_assert(offsetof(HostContainerTable, set_real) == 0x20, "container_set_real");
static_assert(offsetof(HostContainerTable, set_bool) == 0x24, "container_set_bool");
static_assert(offsetof(HostContainerTable, set_long) == 0x28, "container_set_long");
static_assert(offsetof(HostContainerTable, get_real) == 0x44, "container_get_real");
static_assert(offsetof(HostContainerTable, get_bool) == 0x48, "container_get_bool");
static_assert(offsetof(HostContainerTable, get_long) == 0x4c, "container_get_long");
static_assert(offsetof(HostContainerTable, find_index) == 0x6c, "container_find_index");
static_assert(offsetof(HostContainerTable, get_data) == 0xa0, "container_get_data");
static_assert(sizeof(HostContainerTable) == 0xa4, "container sub-table size");
static_assert(offsetof(HostStringTable, length) == 0x18, "string_length");
static_assert(offsetof(HostStringTable, insert) == 0x30, "string_insert");
static_assert(offsetof(HostStringTable, init) == 0x60, "string_init");
static_assert(offsetof(HostStringTable, set_cstr) == 0x64, "string_set_cstr");
static_assert(offsetof(HostStringTable, free) == 0x6c, "string_free");
static_assert(offsetof(HostStringTable, copy) == 0x70, "string_copy");
static_assert(sizeof(HostStringTable) == 0x74, "string sub-table size");
static_assert(offsetof(HostFilenameTable, alloc) == 0x04, "filename_alloc");
static_assert(offsetof(HostFilenameTable, free) == 0x0c, "filename_free");
static_assert(offsetof(HostFilenameTable, set_string) == 0x1c, "filename_set_string");
static_assert(offsetof(HostFilenameTable, derive) == 0x20, "filename_derive");
static_assert(offsetof(HostFilenameTable, init) == 0x44, "filename_init");
static_assert(offsetof(HostFilenameTable, destroy) == 0x48, "filename_destroy");
static_assert(offsetof(HostFilenameTable, copy) == 0x4c, "filename_copy");
static_assert(sizeof(HostFilenameTable) == 0x50, "filename sub-table size");
static_assert(offsetof(HostResourceTable, load) == 0x00, "resource_load");
static_assert(offsetof(HostResourceTable, free) == 0x04, "resource_free");
static_assert(sizeof(HostResourceTable) == 0x08, "resource sub-table size");
static_assert(offsetof(HostNodeTable, get_container) == 0x68, "node_get_container");
static_assert(sizeof(HostNodeTable) == 0x6c, "node sub-table size");
static_assert(offsetof(HostCustomDataTable, get) == 0x60, "customdata_get");
static_assert(sizeof(HostCustomDataTable) == 0x64, "customdata sub-table size");
static_assert(offsetof(HostTable, version) == 0x00, "HostTable version");
static_assert(offsetof(HostTable, general) == 0x04, "HostTable general");
static_assert(offsetof(HostTable, render) == 0x08, "HostTable render");
static_assert(offsetof(HostTable, container) == 0x10, "HostTable container");
static_assert(offsetof(HostTable, string) == 0x14, "HostTable string");
static_assert(offsetof(HostTable, filename) == 0x24, "HostTable filename");
static_assert(offsetof(HostTable, resource) == 0x3c, "HostTable resource");
static_assert(offsetof(HostTable, node) == 0x40, "HostTable node");
static_assert(offsetof(HostTable, customdata) == 0x98, "HostTable customdata");
static_assert(sizeof(HostTable) == 0x9c, "HostTable size");
static_assert(sizeof(LibraryTable) == 8, "LibraryTable header");
static_assert(offsetof(DescriptionLibraryTable, desclib_register) == TM_DESCLIB_REGISTER_OFFSET,
              "");
static_assert(offsetof(DescriptionLibraryTable, desclib_get_id) == TM_DESCLIB_GET_ID_OFFSET, "");
static_assert(sizeof(DescriptionLibraryTable) == 116, "DescriptionLibrary table size");
static_assert(offsetof(ListLibraryTable, listlib_count) == TM_LISTLIB_COUNT_OFFSET, "");
static_assert(offsetof(ListLibraryTable, listlib_build) == TM_LISTLIB_BUILD_OFFSET, "");
static_assert(offsetof(ListLibraryTable, listlib_contains) == TM_LISTLIB_CONTAINS_OFFSET, "");
static_assert(offsetof(ListLibraryTable, listlib_free) == TM_LISTLIB_FREE_OFFSET, "");
static_assert(sizeof(ListLibraryTable) == 180, "ListLibrary table size");
static_assert(offsetof(ShadedObjectRecord, object_reference) == 0x5c, "");
static_assert(offsetof(ShadedObjectRecord, object_index) == 0xf0, "");
static_assert(sizeof(ShadedObjectRecord) == 0xf4, "");
static_assert(offsetof(RenderContext, p) == 0x48, "");
static_assert(offsetof(RenderContext, nv) == 0x54, "");
static_assert(offsetof(RenderContext, shaded_object) == 0x130, "");
static_assert(sizeof(RenderContext) == 0x134, "");
static_assert(offsetof(ShadingInput, context) == 0x2c, "");
static_assert(sizeof(ShadingInput) == 0x30, "");
static_assert(offsetof(LightRecord, scene_object) == 0x0c, "");
static_assert(offsetof(LightRecord, object_flags) == 0xe8, "");
static_assert(offsetof(LightRecord, object_flag_count) == 0xec, "");
static_assert(sizeof(LightRecord) == 0xf0, "");
static_assert(offsetof(RenderSetup, list_build_word) == 0x20, "");
static_assert(sizeof(RenderSetup) == 0x24, "");
static_assert(offsetof(ShaderRegistration, info) == 0, "");
static_assert(offsetof(ShaderRegistration, free_node) == 4, "");
static_assert(offsetof(ShaderRegistration, zero_8) == 8, "");
static_assert(offsetof(ShaderRegistration, word6) == 32, "");
static_assert(offsetof(ShaderRegistration, zero_36) == 36, "");
static_assert(offsetof(ShaderRegistration, word7) == 40, "");
static_assert(offsetof(ShaderRegistration, zero_44) == 44, "");
static_assert(offsetof(ShaderRegistration, extra) == 48, "");
static_assert(offsetof(ShaderRegistration, create) == 52, "");
static_assert(offsetof(ShaderRegistration, init_defaults) == 56, "");
static_assert(offsetof(ShaderRegistration, node_hook_2) == 60, "");
static_assert(offsetof(ShaderRegistration, node_hook_3) == 64, "");
static_assert(offsetof(ShaderRegistration, node_hook_4) == 68, "");
static_assert(offsetof(ShaderRegistration, node_hook_6) == 72, "");
static_assert(offsetof(ShaderRegistration, node_hook_5) == 76, "");
static_assert(offsetof(ShaderRegistration, node_hook_8) == 80, "");
static_assert(offsetof(ShaderRegistration, node_hook_7) == 84, "");
static_assert(offsetof(ShaderRegistration, node_hook_10) == 88, "");
static_assert(offsetof(ShaderRegistration, node_hook_11) == 92, "");
static_assert(offsetof(ShaderRegistration, node_hook_13) == 96, "");
static_assert(offsetof(ShaderRegistration, is_parameter_enabled) == 100, "");
static_assert(offsetof(ShaderRegistration, node_hook_9) == 104, "");
static_assert(offsetof(ShaderRegistration, zero_108) == 108, "");
static_assert(offsetof(ShaderRegistration, shader_hook_15) == 160, "");
static_assert(offsetof(ShaderRegistration, prepare_render) == 164, "");
static_assert(offsetof(ShaderRegistration, release_render) == 168, "");
static_assert(offsetof(ShaderRegistration, shader_hook_14) == 172, "");
static_assert(offsetof(ShaderRegistration, compute_output) == 176, "");
static_assert(offsetof(ShaderRegistration, zero_180) == 180, "");
static_assert(sizeof(ShaderRegistration) == 288, "the registration record is 72 words");

#endif
