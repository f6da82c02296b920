// The module writes 24 bytes on descriptor 1 as it registers its shader, as a module that prints
// its own banner with printf would; otherwise it is the real module.
#include <unistd.h>

#include "changed_record.h"

void change_shader_record(ShaderRegistration&) {
    static const char banner[] = "Tonemix says hello here\n";
    static_assert(sizeof banner - 1 == 24, "the tests count 24 bytes");
    if (write(1, banner, sizeof banner - 1) < 0) {
        // Nowhere to say it.
    }
}
