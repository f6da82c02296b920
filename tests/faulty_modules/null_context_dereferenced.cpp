// compute_output reads the render context's normal before anything looks whether there is a
// context, then shades as the module does.
#include "changed_record.h"

namespace {

ComputeOutputEntry module_compute_output = nullptr;

float* TM_THISCALL compute_output_unchecked(void* node, float* colour_out, int32_t a,
                                            ShadingInput* input) {
    RenderContext* context = input != nullptr ? input->context : nullptr;
    const volatile float* normal = context->nv;
    (void)normal[0];
    return module_compute_output(node, colour_out, a, input);
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    module_compute_output = record.compute_output;
    record.compute_output = compute_output_unchecked;
}
