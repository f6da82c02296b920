#include "host/core/plugin_registrations.h"

#include <cstring>

namespace tmhost {

bool PluginRegistration::shader_record(ShaderRegistration& out) const {
    if (record.size() != sizeof(ShaderRegistration)) return false;
    std::memcpy(&out, record.data(), sizeof out);
    return true;
}

bool PluginRegistrations::registered_in_this_start(int32_t id) const {
    for (std::size_t i = start_begins_at_; i < list_.size(); ++i) {
        if (list_[i].id == id) return true;
    }
    return false;
}

const PluginRegistration* PluginRegistrations::find(int32_t id) const {
    for (auto it = list_.rbegin(); it != list_.rend(); ++it) {
        if (it->id == id) return &*it;
    }
    return nullptr;
}

}  // namespace tmhost
