// The light loop trusts the host's light count: counting down from count - 1, a count of
// INT32_MIN wraps (this file is built with -fwrapv, as a machine does it) and asks for light
// 2147483647 and every one below it. The module's own loop, which looks at the count first, runs
// after it.
#include "changed_record.h"
#include "host_binding.h"

namespace {

ComputeOutputEntry module_compute_output = nullptr;

float* TM_THISCALL compute_output_trusting_count(void* node, float* colour_out, int32_t a,
                                                 ShadingInput* input) {
    RenderContext* context = input != nullptr ? input->context : nullptr;
    if (context != nullptr) {
        const HostRender& render = *host().render;
        const int32_t count = render.light_count(context);
        // A positive count gives the module's loop the same requests; only the others differ.
        if (count <= 0) {
            for (int32_t index = count - 1; index >= 0; --index) render.get_light(context, index);
        }
    }
    return module_compute_output(node, colour_out, a, input);
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    module_compute_output = record.compute_output;
    record.compute_output = compute_output_trusting_count;
}
