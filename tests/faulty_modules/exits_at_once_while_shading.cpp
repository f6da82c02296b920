// compute_output calls _exit(0), which runs no exit hook: the module starts as it should and ends
// the whole process at once, with the code of a success, at the first point it shades.
#include <unistd.h>

#include "changed_record.h"

namespace {

float* TM_THISCALL compute_output_exiting(void*, float*, int32_t, ShadingInput*) { _exit(0); }

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    record.compute_output = compute_output_exiting;
}
