#include "tonemix_shader.h"

#include <new>

#include "description_library.h"
#include "host_container.h"
#include "memory.h"
#include "tonemix_parameters.h"

const char SHADER_SOURCE_FILE[] = "plugins/tonemix/source/shader/Tonemix Shader";

void* create_shader() {
    void* memory = mem_alloc(static_cast<int32_t>(sizeof(TonemixShader)), SHADER_SOURCE_LINE,
                             SHADER_SOURCE_FILE);
    if (memory == nullptr) return nullptr;
    return new (memory) TonemixShader();
}

void TonemixShader::destroy(int32_t flags) {
    filter.release();
    this->~TonemixShader();
    if ((flags & 1) != 0) mem_free(this);
}

int32_t TonemixShader::init_defaults(HostNodeHandle host_node) {
    HostContainer data = HostContainer::of_node(host_node);
    data.set_long(TONEMIX_SAMPLES, TonemixDefaults::samples);
    data.set_real(TONEMIX_OFFSET, TonemixDefaults::offset);
    data.set_real(TONEMIX_DISTANCE, TonemixDefaults::distance);
    data.set_long(TONEMIX_MODE, TonemixDefaults::mode);
    data.set_bool(TONEMIX_JITTER, TonemixDefaults::jitter);
    data.set_bool(TONEMIX_GAUSSIAN, TonemixDefaults::gaussian);
    data.set_bool(TONEMIX_SHADOWS, TonemixDefaults::shadows);
    data.set_long(TONEMIX_SEED, TonemixDefaults::seed);
    data.set_long(TONEMIX_LIST_MODE, TonemixDefaults::list_mode);
    data.set_bool(TONEMIX_EXTRA_FLAG, TonemixDefaults::extra_flag);
    return 1;
}

void TonemixShader::node_hook_2(int32_t) {}
int32_t TonemixShader::node_hook_3(int32_t, int32_t, int32_t) { return 1; }
int32_t TonemixShader::node_hook_4(int32_t, int32_t) { return 1; }
int32_t TonemixShader::node_hook_5(int32_t, int32_t, int32_t) { return 1; }
int32_t TonemixShader::node_hook_6(int32_t, int32_t, int32_t, int32_t, int32_t) { return 1; }
void TonemixShader::node_hook_7(int32_t, int32_t) {}
int32_t TonemixShader::node_hook_8(int32_t) { return 0; }
int32_t TonemixShader::node_hook_9(int32_t, int32_t, int32_t) { return 0; }
int32_t TonemixShader::node_hook_10(int32_t, int32_t, int32_t) { return 0; }
int32_t TonemixShader::node_hook_11(int32_t, int32_t, int32_t, int32_t) { return 1; }
int32_t TonemixShader::node_hook_13(int32_t, int32_t, int32_t, int32_t) { return 1; }
int32_t TonemixShader::shader_hook_14(int32_t, int32_t, int32_t, int32_t, int32_t) { return 1; }
int32_t TonemixShader::shader_hook_15(int32_t) { return 0; }

int32_t TonemixShader::is_parameter_enabled(HostNodeHandle host_node,
                                            DescriptionIdHandle description_id, int32_t, int32_t,
                                            int32_t) {
    HostContainer data = HostContainer::of_node(host_node);
    int32_t parameter = desclib_get_id(description_id, 0)[0];
    if (parameter != TONEMIX_JITTER) return 1;
    return data.get_long(TONEMIX_MODE, 0) == MODE_ALONG_NORMAL ? 1 : 0;
}

int32_t TonemixShader::prepare_render(HostNodeHandle host_node, RenderSetup* setup) {
    HostContainer data = HostContainer::of_node(host_node);
    samples = data.get_long(TONEMIX_SAMPLES, 0);
    distance = data.get_real(TONEMIX_DISTANCE, 0.0f);
    offset = data.get_real(TONEMIX_OFFSET, 0.0f);
    gaussian = data.get_bool(TONEMIX_GAUSSIAN, 0);
    shadows = data.get_bool(TONEMIX_SHADOWS, 0);
    jitter = data.get_bool(TONEMIX_JITTER, 0);
    mode = data.get_long(TONEMIX_MODE, 0);
    random.reseed(data.get_long(TONEMIX_SEED, 0));
    int32_t list_mode = data.get_long(TONEMIX_LIST_MODE, 0);
    ListDataHandle list_data = data.get_custom_data(TONEMIX_LIGHTS, TM_LIBRARY_LIST);
    filter.build(list_data, list_mode, setup);
    return 0;
}

void TonemixShader::release_render(int32_t) { filter.release(); }
