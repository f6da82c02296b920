// compute_output writes through a null pointer: the module starts as it should and crashes at the
// first point it shades, from whichever render thread asks first.
#include "changed_record.h"

namespace {

__attribute__((no_sanitize("undefined"))) float* TM_THISCALL
compute_output_crashing(void*, float*, int32_t, ShadingInput*) {
    volatile float* volatile nowhere = nullptr;
    *nowhere = 1.0f;
    return nullptr;
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    record.compute_output = compute_output_crashing;
}
