#include "host/render/shader_instance.h"

#include "host/loading/module_session.h"

namespace tmhost {

ShaderInstance::ShaderInstance(const ShaderPlugin& plugin, ContainerStore& containers)
    : plugin_(plugin), containers_(containers), host_node_(containers.make_node()) {
    node_ = plugin_.create();
    if (node_ == nullptr) {
        containers_.destroy(host_node_);
        throw ModuleError("the module made no shader node");
    }
}

ShaderInstance::~ShaderInstance() {
    release();
    plugin_.free_node(node_);
    containers_.destroy(host_node_);
}

void ShaderInstance::init_defaults() { plugin_.init_defaults(node_, host_node_); }

void ShaderInstance::prepare() {
    plugin_.prepare_render(node_, host_node_, &setup_);
    prepared_ = true;
}

void ShaderInstance::release() {
    if (!prepared_) return;
    plugin_.release_render(node_);
    prepared_ = false;
}

}  // namespace tmhost
