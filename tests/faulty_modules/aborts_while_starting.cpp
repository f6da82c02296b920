// The shader's registration, which the module makes as it starts, calls abort().
#include <cstdlib>

#include "changed_record.h"

void change_shader_record(ShaderRegistration&) { std::abort(); }
