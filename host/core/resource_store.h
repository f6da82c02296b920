// Module resources: a folder whose description/*.json files each describe one set of parameters.
//
// resource_load reads every description of the folder at once into its model; a folder that is
// missing or unreadable, or a file that fails to parse or carries no string "name", fails the
// whole load with a reason. A description the host cannot present still loads, with its fault:
// the module may register it, and a command that needs it says what is wrong. Descriptions stay
// available to the host's own code (the description library) through the handle.
#ifndef TMHOST_RESOURCE_STORE_H
#define TMHOST_RESOURCE_STORE_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/core/description.h"
#include "host/core/misuse_log.h"

namespace tmhost {

struct LoadedResource {
    std::string folder;
    std::map<std::string, Description> descriptions;  // by name

    // The description named so, or null.
    const Description* description(const std::string& name) const;
};

// One call of resource_load, as tonemix-host reports it.
struct ResourceLoadAttempt {
    int32_t handle = 0;  // 0: failed
    std::string reason;  // why it failed; names files relative to the folder
    std::vector<std::string> description_names;
};

class ResourceStore {
public:
    explicit ResourceStore(MisuseLog& misuses) : misuses_(misuses) {}

    // A new non-zero handle, or 0 with last_error() saying why.
    int32_t load(const std::string& folder);
    void free(int32_t handle);  // an unknown or already freed handle is reported

    const LoadedResource* find(int32_t handle) const;
    // Shorthand for find(handle)->description(name); null when either is missing.
    const Description* description(int32_t handle, const std::string& name) const;

    const std::string& last_error() const { return last_error_; }
    // The folder the last load was asked for, as the module named it.
    const std::string& last_folder() const { return last_folder_; }
    const std::vector<ResourceLoadAttempt>& attempts() const { return attempts_; }
    std::size_t live_count() const { return loaded_.size(); }
    std::vector<int32_t> live_handles() const;  // oldest first

private:
    int32_t fail(std::string reason);

    MisuseLog& misuses_;
    std::map<int32_t, std::unique_ptr<LoadedResource>> loaded_;
    std::vector<ResourceLoadAttempt> attempts_;
    std::string last_error_;
    std::string last_folder_;
    int32_t last_handle_ = 0;  // handles are never reused, so a stale one is always caught
};

}  // namespace tmhost

#endif
