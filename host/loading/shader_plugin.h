// The host's side of a shader's registration: everything the host does with a shader node goes
// through the copy of the 288-byte record it kept at registration, never through the module's
// symbols.
//
// Nodes are the module's: create() makes one, free_node() ends it. The host node passed to the
// node operations is a Node of the host's ContainerStore, whose container holds the parameters.
// An entry the record leaves null is not called: the call is reported as a misuse of the active
// host and answers a neutral value, so a broken record shows up in the report instead of as a
// jump to address zero.
#ifndef TMHOST_SHADER_PLUGIN_H
#define TMHOST_SHADER_PLUGIN_H

#include <cstdint>
#include <vector>

#include "host/core/container_store.h"
#include "host/core/stand_in_host.h"
#include "host_api.h"

namespace tmhost {

// One of the node's operations that answer a fixed result: called with its words all 0.
struct FixedOperation {
    const char* name;  // "node_hook_3"
    int32_t byte;      // offset of its entry in the record
    int32_t words;     // arguments besides the node
    bool has_result;
};

class ShaderPlugin {
public:
    // False when the host holds no shader registration of that id with a 288-byte record. From
    // then on, what the record's entries do wrong goes into that host's misuse log.
    bool find(StandInHost& host, int32_t plugin_id);
    bool found() const { return found_; }
    const ShaderRegistration& record() const { return record_; }

    void* create() const;  // null when the module has no memory
    void free_node(void* node) const;
    int32_t init_defaults(void* node, Node& host_node) const;
    // The three words the module does not read go as 0.
    int32_t is_parameter_enabled(void* node, Node& host_node,
                                 DescriptionIdHandle description_id) const;
    int32_t prepare_render(void* node, Node& host_node, RenderSetup* setup) const;
    void release_render(void* node) const;
    // Writes the point's colour to colour[0..2]; black when the node cannot be asked.
    void compute_output(void* node, ShadingInput* input, float colour[3]) const;

    // The node's operations with fixed results, in slot order.
    static const std::vector<FixedOperation>& fixed_operations();
    // The operation's result; 0 for one without a result.
    int32_t call_fixed(void* node, const FixedOperation& operation) const;

private:
    ShaderRegistration record_{};
    bool found_ = false;
    MisuseLog* misuses_ = nullptr;
};

}  // namespace tmhost

#endif
