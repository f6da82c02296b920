// compute_output recurses without end, each call with a frame of its own that the compiler cannot
// fold away: the render thread that shades first runs out of stack.
#include <climits>

#include "changed_record.h"

namespace {

// Further than any stack reaches, and unknown to the compiler.
volatile int deepest = INT_MAX;

__attribute__((noinline)) int deeper(int depth) {
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    if (depth == deepest) return frame[0];
    return deeper(depth + 1) + frame[0];
}

float* TM_THISCALL compute_output_overflowing(void*, float* out, int32_t, ShadingInput*) {
    out[0] = static_cast<float>(deeper(0));
    return out;
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    record.compute_output = compute_output_overflowing;
}
