// compute_output throws a C++ exception, which no frame between it and the render thread's start
// catches. Compiled with exceptions, unlike the module's own sources.
#include <stdexcept>

#include "changed_record.h"

namespace {

float* TM_THISCALL compute_output_throwing(void*, float*, int32_t, ShadingInput*) {
    throw std::runtime_error("a point the shader cannot shade");
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    record.compute_output = compute_output_throwing;
}
