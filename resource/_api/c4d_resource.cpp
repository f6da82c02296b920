#include "c4d_resource.h"

#include <new>

#include "host_binding.h"
#include "module_state.h"

PluginResource plugin_resource;

int32_t PluginResource::load(const HostFilename& requested) {
    if (file_name_ == nullptr) {
        file_name_ = HostFilename::allocate_copy(requested);
        if (file_name_ == nullptr) return 0;
    }
    if (attempted_ != 0) return handle_ != 0 ? 1 : 0;
    handle_ = host().resource->load(requested.raw());
    attempted_ = 1;
    return handle_ != 0 ? 1 : 0;
}

void PluginResource::release() {
    if (handle_ != 0) {
        host().resource->free(handle_);
        handle_ = 0;
    }
    if (file_name_ != nullptr) {
        HostFilename::delete_allocated(file_name_);
        file_name_ = nullptr;
    }
    // A module ended and started again within one load must ask the host again, rather than
    // report a failure it never saw.
    attempted_ = 0;
}

HostFilename* module_resource_name(void* destination_storage) {
    HostString path(module_path);
    HostFilename module_file(path);
    HostFilename* destination = new (destination_storage) HostFilename();
    HostFilenameHandle derived = host().filename->derive(module_file.raw());
    if (derived != nullptr) {
        host().filename->copy(derived, destination->raw());
        host().filename->free(derived);
    }
    return destination;
}

int32_t load_module_resources() {
    alignas(HostFilename) unsigned char storage[sizeof(HostFilename)];
    HostFilename* name = module_resource_name(storage);
    int32_t result = plugin_resource.load(*name);
    name->~HostFilename();
    return result;
}
