// compute_output calls exit(0): the module starts as it should and ends the whole process, with
// the code of a success, at the first point it shades.
#include <cstdlib>

#include "changed_record.h"

namespace {

float* TM_THISCALL compute_output_exiting(void*, float*, int32_t, ShadingInput*) { std::exit(0); }

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    record.compute_output = compute_output_exiting;
}
