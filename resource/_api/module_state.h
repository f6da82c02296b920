// Module-wide state that lives from load to unload; all zero when the module is loaded.
#ifndef TONEMIX_MODULE_STATE_H
#define TONEMIX_MODULE_STATE_H

#include <cstdint>

enum : int32_t { MODULE_PATH_SIZE = 1028 };

// The module's own path, as the first init message handed it over; empty until then.
extern char module_path[MODULE_PATH_SIZE];

#endif
