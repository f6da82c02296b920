// release_render drops the light list's handle instead of giving it back: the host's list object
// is never freed.
#include "changed_record.h"
#include "tonemix_shader.h"

namespace {

void TM_THISCALL release_render_dropping_list(void* node, int32_t) {
    static_cast<TonemixShader*>(node)->filter.light_list = nullptr;
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    record.release_render = release_render_dropping_list;
}
