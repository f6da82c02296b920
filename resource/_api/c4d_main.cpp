// The module's only export: the host's door into the module outside the registered shader.
#include <cstring>

#include "c4d_resource.h"
#include "host_api.h"
#include "host_binding.h"
#include "module_state.h"
#include "plugin_hooks.h"

#if defined(_WIN32)
#define TONEMIX_EXPORT
#else
#define TONEMIX_EXPORT __attribute__((visibility("default")))
#endif

char module_path[MODULE_PATH_SIZE];

namespace {

// Init messages received minus end messages received. The host sends one end per init; an end
// beyond them is answered and changes nothing, or it would swallow the next host's init.
int32_t init_count = 0;
// Whether the first init bound a host table of a version the module can call: only then may
// start and plug-in messages call the host. A refused path leaves the module serving without one.
bool serving = false;

int32_t initialise(HostTable* table, const char* path) {
    init_count += 1;
    if (init_count != 1) return TM_RESULT_HANDLED;
    if (table == nullptr) return TM_RESULT_INIT_REFUSED;
    if (bind_host_table(table) < TM_HOST_API_MINIMUM) return TM_RESULT_INIT_REFUSED;
    serving = true;
    if (path == nullptr) return TM_RESULT_INIT_REFUSED;
    // A shortened path would name the wrong resource file, so a path that does not fit is refused.
    size_t length = std::strlen(path);
    if (length >= sizeof(module_path)) return TM_RESULT_INIT_REFUSED;
    std::memcpy(module_path, path, length);
    module_path[length] = '\0';
    return TM_RESULT_HANDLED;
}

int32_t end() {
    if (init_count == 0) return TM_RESULT_HANDLED;
    init_count -= 1;
    if (init_count == 0 && serving) {
        serving = false;
        plugin_end();
        plugin_resource.release();
    }
    return TM_RESULT_HANDLED;
}

}  // namespace

extern "C" TONEMIX_EXPORT int32_t TM_CDECL c4d_main(int32_t message, void* a, void* b, void* c) {
    switch (message) {
    case TM_MESSAGE_QUERY:
        return TM_RESULT_QUERY;
    case TM_MESSAGE_INIT:
        return initialise(static_cast<HostTable*>(a), static_cast<const char*>(c));
    case TM_MESSAGE_PLUGIN:
        // Without an accepted init the module has no host to call.
        if (!serving) return TM_RESULT_NOT_HANDLED;
        return plugin_message(static_cast<int32_t>(reinterpret_cast<intptr_t>(a)), b) != 0
                   ? TM_RESULT_HANDLED
                   : TM_RESULT_NOT_HANDLED;
    case TM_MESSAGE_START:
        if (!serving) return TM_RESULT_START_FAILED;
        return plugin_start() != 0 ? TM_RESULT_HANDLED : TM_RESULT_START_FAILED;
    case TM_MESSAGE_END:
        return end();
    default:
        return TM_RESULT_NOT_HANDLED;
    }
}
