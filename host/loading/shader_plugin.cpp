#include "host/loading/shader_plugin.h"

#include <cstring>
#include <initializer_list>
#include <string>

#include "host/core/storage_values.h"
#include "host/loading/checked_call.h"

namespace tmhost {

namespace {

// Into the misuse log of the host the record was found in; nowhere before a record is found.
void report(MisuseLog* log, const char* operation, const std::string& what) {
    if (log != nullptr) log->add(std::string("shader ") + operation + ": " + what);
}

// False, after reporting, when the entry cannot be called.
bool callable(MisuseLog* log, bool has_entry, const void* node, const char* operation) {
    if (!has_entry) report(log, operation, "the record's entry is null");
    if (node == nullptr) report(log, operation, "null node");
    return has_entry && node != nullptr;
}

template <typename Entry>
Entry entry_at(const ShaderRegistration& record, int32_t byte) {
    Entry entry;
    std::memcpy(&entry, reinterpret_cast<const unsigned char*>(&record) + byte, sizeof entry);
    return entry;
}

void black(float colour[3]) { colour[0] = colour[1] = colour[2] = 0.0f; }

// A thiscall entry with its stack use measured: an entry compiled for another number of words
// would otherwise leave the host's stack shifted, and the host would fail somewhere else later.
uint32_t dispatch(MisuseLog* log, const char* operation, const void* entry, void* node,
                  const uint32_t* words, int count) {
    const CheckedCall call = call_thiscall_checked(entry, node, words, count);
    const int32_t expected = 4 * count;
    if (call.popped_bytes != expected) {
        report(log, operation,
               "popped " + std::to_string(call.popped_bytes) + " bytes of arguments, " +
                   std::to_string(expected) + " expected");
    }
    return call.result;
}

uint32_t dispatch(MisuseLog* log, const char* operation, const void* entry, void* node,
                  std::initializer_list<uint32_t> words) {
    return dispatch(log, operation, entry, node, words.begin(), static_cast<int>(words.size()));
}

}  // namespace

bool ShaderPlugin::find(StandInHost& host, int32_t plugin_id) {
    found_ = false;
    misuses_ = &host.misuses();
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
        report(misuses_, "create", "the record's entry is null");
        return nullptr;
    }
    return record_.create();
}

void ShaderPlugin::free_node(void* node) const {
    // free_node takes null itself; only a missing entry is the host's to catch.
    if (record_.free_node == nullptr) {
        report(misuses_, "free_node", "the record's entry is null");
        return;
    }
    record_.free_node(node);
}

int32_t ShaderPlugin::init_defaults(void* node, Node& host_node) const {
    if (!callable(misuses_, record_.init_defaults != nullptr, node, "init_defaults")) {
        return 0;
    }
    return static_cast<int32_t>(dispatch(misuses_, "init_defaults",
                                         entry_address(record_.init_defaults), node,
                                         {word_of(host_node.handle())}));
}

int32_t ShaderPlugin::is_parameter_enabled(void* node, Node& host_node,
                                           DescriptionIdHandle description_id) const {
    if (!callable(misuses_, record_.is_parameter_enabled != nullptr, node,
                  "is_parameter_enabled")) {
        return 0;
    }
    return static_cast<int32_t>(
        dispatch(misuses_, "is_parameter_enabled", entry_address(record_.is_parameter_enabled),
                 node, {word_of(host_node.handle()), word_of(description_id), 0, 0, 0}));
}

int32_t ShaderPlugin::prepare_render(void* node, Node& host_node, RenderSetup* setup) const {
    if (!callable(misuses_, record_.prepare_render != nullptr, node, "prepare_render")) {
        return 0;
    }
    return static_cast<int32_t>(dispatch(misuses_, "prepare_render",
                                         entry_address(record_.prepare_render), node,
                                         {word_of(host_node.handle()), word_of(setup)}));
}

void ShaderPlugin::release_render(void* node) const {
    if (!callable(misuses_, record_.release_render != nullptr, node, "release_render")) {
        return;
    }
    dispatch(misuses_, "release_render", entry_address(record_.release_render), node, {0});
}

void ShaderPlugin::compute_output(void* node, ShadingInput* input, float colour[3]) const {
    if (!callable(misuses_, record_.compute_output != nullptr, node, "compute_output")) {
        black(colour);
        return;
    }
    const uint32_t answered =
        dispatch(misuses_, "compute_output", entry_address(record_.compute_output), node,
                 {word_of(colour), 0, word_of(input)});
    // The colour comes back through the caller's place; an entry that answers another place has
    // not written the colour where the host reads it.
    if (answered != word_of(colour))
        report(misuses_, "compute_output", "the entry answered another place");
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
    if (!callable(misuses_, slot != nullptr, node, operation.name)) return 0;
    const std::vector<uint32_t> zeros(static_cast<std::size_t>(operation.words), 0);
    const uint32_t result =
        dispatch(misuses_, operation.name, slot, node, zeros.data(), operation.words);
    return operation.has_result ? static_cast<int32_t>(result) : 0;
}

}  // namespace tmhost
