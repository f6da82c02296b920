// The module's one link to the host: the HostTable handed over by the first init message.
#ifndef TONEMIX_HOST_BINDING_H
#define TONEMIX_HOST_BINDING_H

#include "host_api.h"

// Written by bind_host_table, read by every host call of the module. Null until the first init.
extern HostTable* bound_host_table;

// Stores the table before anything is compared, then answers its word 0: the host API version.
int32_t bind_host_table(HostTable* table);

inline const HostTable& host() { return *bound_host_table; }

#endif
