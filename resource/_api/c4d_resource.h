// The module's resource: loaded once from the file name the host derives from the module's path,
// held until the last end message, and given back at unload at the latest.
#ifndef TONEMIX_C4D_RESOURCE_H
#define TONEMIX_C4D_RESOURCE_H

#include "host_api.h"
#include "host_filename.h"

class PluginResource {
public:
    constexpr PluginResource() = default;
    PluginResource(const PluginResource&) = delete;
    PluginResource& operator=(const PluginResource&) = delete;
    // Runs at unload; after the last end message there is nothing left and no host call is made.
    ~PluginResource() { release(); }

    // 1 when a handle is held. The host is asked once per life of the resource: a failed load is
    // not retried, a different name later is ignored. Only the file name allocation is retried.
    int32_t load(const HostFilename& requested);
    // Gives back the handle and the kept name. The resource may then be loaded again.
    void release();

    int32_t handle() const { return handle_; }
    int32_t attempted() const { return attempted_; }
    const HostFilename* file_name() const { return file_name_; }

private:
    int32_t handle_ = 0;
    int32_t attempted_ = 0;
    HostFilename* file_name_ = nullptr;
};

extern PluginResource plugin_resource;

// Constructs, in the caller's storage, the resource file name derived from module_path; it stays
// empty when the host derives nothing. The caller destroys it.
HostFilename* module_resource_name(void* destination_storage);

// 1 when the module's resource is loaded.
int32_t load_module_resources();

#endif
