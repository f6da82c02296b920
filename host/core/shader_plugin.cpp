#include "host/core/shader_plugin.h"

#include <cstring>
#include <string>

namespace tmhost {

namespace {

void report(const char* operation, const char* what) {
    if (StandInHost* host = StandInHost::active()) {
        host->misuses().add(std::string("shader ") + operation + ": " + what);
    }
}

// False, after reporting, when the entry cannot be called.
bool callable(bool has_entry, const void* node, const char* operation) {
    if (!has_entry) report(operation, "the record's entry is null");
    if (node == nullptr) report(operation, "null node");
    return has_entry && node != nullptr;
}

template <typename Entry>
Entry entry_at(const ShaderRegistration& record, int32_t byte) {
    Entry entry;
    std::memcpy(&entry, reinterpret_cast<const unsigned char*>(&record) + byte, sizeof entry);
    return entry;
}

void black(float colour[3]) { colour[0] = colour[1] = colour[2] = 0.0f; }

}  // namespace

bool ShaderPlugin::find(const StandInHost& host, int32_t plugin_id) {
    found_ = false;
    std::memset(&record_, 0, sizeof record_);
    const PluginRegistration* registration = host.registrations().find(plugin_id);
    // A record of another plug-in type means something else word by word: its entries may not
    // be called as a shader's.
    if (registration == nullptr || registration->type != TM_PLUGIN_TYPE_SHADER) return false;
    found_ = registration->shader_record(record_);
    return found_;
}

void* ShaderPlugin::create() const {
    if (record_.create == nullptr) {
        report("create", "the record's entry is null");
        return nullptr;
    }
    return record_.create();
}

void ShaderPlugin::free_node(void* node) const {
    // free_node takes null itself; only a missing entry is the host's to catch.
    if (record_.free_node == nullptr) {
        report("free_node", "the record's entry is null");
        return;
    }
    record_.free_node(node);
}

int32_t ShaderPlugin::init_defaults(void* node, Node& host_node) const {
    if (!callable(record_.init_defaults != nullptr, node, "init_defaults")) {
        return 0;
    }
    return record_.init_defaults(node, host_node.handle());
}

int32_t ShaderPlugin::is_parameter_enabled(void* node, Node& host_node,
                                           DescriptionIdHandle description_id) const {
    if (!callable(record_.is_parameter_enabled != nullptr, node, "is_parameter_enabled")) {
        return 0;
    }
    return record_.is_parameter_enabled(node, host_node.handle(), description_id, 0, 0, 0);
}

int32_t ShaderPlugin::prepare_render(void* node, Node& host_node, RenderSetup* setup) const {
    if (!callable(record_.prepare_render != nullptr, node, "prepare_render")) {
        return 0;
    }
    return record_.prepare_render(node, host_node.handle(), setup);
}

void ShaderPlugin::release_render(void* node) const {
    if (!callable(record_.release_render != nullptr, node, "release_render")) {
        return;
    }
    record_.release_render(node, 0);
}

void ShaderPlugin::compute_output(void* node, ShadingInput* input, float colour[3]) const {
    if (!callable(record_.compute_output != nullptr, node, "compute_output")) {
        black(colour);
        return;
    }
    const float* answered = record_.compute_output(node, colour, 0, input);
    // The colour comes back through the caller's place; an entry that answers another place has
    // not written the colour where the host reads it.
    if (answered != colour) report("compute_output", "the entry answered another place");
}

const std::vector<FixedOperation>& ShaderPlugin::fixed_operations() {
    static const std::vector<FixedOperation> operations = {
        {"node_hook_2", 60, 1, false},    {"node_hook_3", 64, 3, true},
        {"node_hook_4", 68, 2, true},     {"node_hook_5", 76, 3, true},
        {"node_hook_6", 72, 5, true},     {"node_hook_7", 84, 2, false},
        {"node_hook_8", 80, 1, true},     {"node_hook_9", 104, 3, true},
        {"node_hook_10", 88, 3, true},    {"node_hook_11", 92, 4, true},
        {"node_hook_13", 96, 4, true},    {"shader_hook_14", 172, 5, true},
        {"shader_hook_15", 160, 1, true},
    };
    return operations;
}

int32_t ShaderPlugin::call_fixed(void* node, const FixedOperation& operation) const {
    const void* slot = entry_at<const void*>(record_, operation.byte);
    if (!callable(slot != nullptr, node, operation.name)) return 0;
    if (!operation.has_result) {
        if (operation.words == 1) entry_at<DispatchEntryVoid1>(record_, operation.byte)(node, 0);
        if (operation.words == 2) entry_at<DispatchEntryVoid2>(record_, operation.byte)(node, 0, 0);
        return 0;
    }
    switch (operation.words) {
    case 1:
        return entry_at<DispatchEntry1>(record_, operation.byte)(node, 0);
    case 2:
        return entry_at<DispatchEntry2>(record_, operation.byte)(node, 0, 0);
    case 3:
        return entry_at<DispatchEntry3>(record_, operation.byte)(node, 0, 0, 0);
    case 4:
        return entry_at<DispatchEntry4>(record_, operation.byte)(node, 0, 0, 0, 0);
    case 5:
        return entry_at<DispatchEntry5>(record_, operation.byte)(node, 0, 0, 0, 0, 0);
    }
    return 0;
}

}  // namespace tmhost
