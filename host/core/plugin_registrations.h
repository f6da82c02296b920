// Plug-ins the module registered through general_register_plugin, as copies the host keeps.
//
// The module builds its record in temporary storage and frees the name right after the call, so
// the host copies both during the call.
#ifndef TMHOST_PLUGIN_REGISTRATIONS_H
#define TMHOST_PLUGIN_REGISTRATIONS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host_api.h"

namespace tmhost {

struct PluginRegistration {
    int32_t api = 0;
    int32_t type = 0;
    int32_t id = 0;
    std::string name;
    std::vector<unsigned char> record;  // the record's bytes, as many as the module said

    // The record as a ShaderRegistration when it has exactly that size.
    bool shader_record(ShaderRegistration& out) const;
};

// Records longer than this are refused: a size this large is a corrupted call, and copying it
// would read far past the module's record.
constexpr int32_t MAX_REGISTRATION_RECORD = 64 * 1024;

class PluginRegistrations {
public:
    void add(PluginRegistration registration) { list_.push_back(std::move(registration)); }
    const std::vector<PluginRegistration>& list() const { return list_; }
    // The latest registration of a plug-in id, or null.
    const PluginRegistration* find(int32_t id) const;
    void clear() {
        list_.clear();
        start_begins_at_ = 0;
    }
    // Called as a start message is sent: a module registers its plug-ins once each per start, so
    // an id registered again after this is the module's fault, while a second start may register
    // them all again.
    void start_begins() { start_begins_at_ = list_.size(); }
    // Whether `id` was registered since the start message began (or since the host was made).
    bool registered_in_this_start(int32_t id) const;

private:
    std::vector<PluginRegistration> list_;
    std::size_t start_begins_at_ = 0;
};

}  // namespace tmhost

#endif
