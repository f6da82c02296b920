// compute_output writes through a null pointer: the module starts as it should and crashes at the
// first point it shades, from whichever render thread asks first.
#include "changed_record.h"
#include "crashing_output.h"

void change_shader_record(ShaderRegistration& record) {
    record.compute_output = compute_output_crashing;
}
