// release_render's entry is compiled for two words where the host pushes one: it pops 8 bytes
// instead of 4.
#include "changed_record.h"

namespace {

ReleaseRenderEntry module_release_render = nullptr;

void TM_THISCALL release_render_two_words(void* node, int32_t a, int32_t) {
    module_release_render(node, a);
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    module_release_render = record.release_render;
    record.release_render =
        reinterpret_cast<ReleaseRenderEntry>(reinterpret_cast<void*>(release_render_two_words));
}
