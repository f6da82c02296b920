// The host's description library: the shader's description registration and description ids.
#ifndef TONEMIX_DESCRIPTION_LIBRARY_H
#define TONEMIX_DESCRIPTION_LIBRARY_H

#include "host_api.h"
#include "host_string.h"

// The host's result, or 0 when the library or its function cannot be reached.
int32_t desclib_register(int32_t plugin_id, const HostString& description_name,
                         int32_t resource_handle);

// The record of one level of a description id (word 0: the parameter id). When the library or its
// function cannot be reached, or the host answers null, a record of three zero words stands in.
const int32_t* desclib_get_id(DescriptionIdHandle description_id, int32_t level);

#endif
