// For faulty modules whose fault lies in the shader's dispatch entries: changed_record_registry.cpp
// stands in for the module's plugin_registry.cpp and lets the fault change the shader's record
// before the host copies it. The module's own entries stay as they are; a fault's entry calls them.
#ifndef TONEMIX_FAULTY_CHANGED_RECORD_H
#define TONEMIX_FAULTY_CHANGED_RECORD_H

#include "host_api.h"

// Defined once by each such fault: replaces one or more entries of the shader's record.
void change_shader_record(ShaderRegistration& record);

#endif
