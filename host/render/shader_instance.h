// One shader node of the module with the host node whose container holds its parameters, from
// creation to freeing. Ends what it started in its destructor, so an error half-way through a
// render still gives the module back every node and light list.
#ifndef TMHOST_SHADER_INSTANCE_H
#define TMHOST_SHADER_INSTANCE_H

#include "host/core/container_store.h"
#include "host/loading/shader_plugin.h"
#include "host_api.h"

namespace tmhost {

class ShaderInstance {
public:
    // Creates the node; throws ModuleError when the module makes none.
    ShaderInstance(const ShaderPlugin& plugin, ContainerStore& containers);
    ~ShaderInstance();
    ShaderInstance(const ShaderInstance&) = delete;
    ShaderInstance& operator=(const ShaderInstance&) = delete;

    void* node() const { return node_; }
    Node& host_node() const { return host_node_; }
    Container& container() const { return host_node_.container; }

    void init_defaults();
    // Once per render; release() (or the destructor) ends it.
    void prepare();
    void release();

    // From several threads at once only where the module allows it for one node: the node
    // advances its own random stream with every call.
    void shade(ShadingInput* input, float colour[3]) const {
        plugin_.compute_output(node_, input, colour);
    }

private:
    const ShaderPlugin& plugin_;
    ContainerStore& containers_;
    Node& host_node_;
    void* node_ = nullptr;
    bool prepared_ = false;
    RenderSetup setup_{};
};

}  // namespace tmhost

#endif
