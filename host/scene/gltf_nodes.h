// The node hierarchy of a glTF model: the nodes of the scene to show, each with its world
// transform. The hierarchy must be a forest, as the format requires: a node with two parents, or
// one that is its own descendant, is refused rather than walked for ever.
#ifndef TMHOST_GLTF_NODES_H
#define TMHOST_GLTF_NODES_H

#include <string>
#include <vector>

#include "host/scene/gltf_library.h"
#include "host/scene/gltf_transform.h"

namespace tmhost {

struct NodeVisit {
    int node = 0;
    Matrix4 world;
};

// The default scene's nodes (or the first scene's; or, without scenes, every node that is no
// node's child), parents before children, children in the order listed. Throws SceneError
// "<path>: node 3: child 9 does not exist", "<path>: node 2 is its own descendant" and the like.
std::vector<NodeVisit> scene_nodes(const tinygltf::Model& model, const std::string& path);

}  // namespace tmhost

#endif
