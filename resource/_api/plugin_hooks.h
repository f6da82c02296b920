// What the plug-in supplies to the module entry. c4d_main calls these and nothing else of it.
#ifndef TONEMIX_PLUGIN_HOOKS_H
#define TONEMIX_PLUGIN_HOOKS_H

#include <cstdint>

// Message 2. True (non-zero) when the plug-in started.
int32_t plugin_start();
// Message 6. data is the host's and is handed on unread.
int32_t plugin_message(int32_t id, void* data);
// The last message 3, before the module's resource is released.
void plugin_end();

#endif
