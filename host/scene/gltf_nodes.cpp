#include "host/scene/gltf_nodes.h"

#include <array>
#include <cmath>
#include <cstddef>

#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw SceneError(path + ": " + what);
}

std::string node_name(std::size_t node) { return "node " + std::to_string(node); }

Vec3 vector3(const std::vector<double>& values, const Vec3& otherwise) {
    return values.empty() ? otherwise : Vec3{values[0], values[1], values[2]};
}

Matrix4 local_matrix(const tinygltf::Node& node, std::size_t index, const std::string& path) {
    const std::string name = node_name(index);
    if (!node.matrix.empty()) {
        if (node.matrix.size() != 16) fail(path, name + ": a matrix needs 16 numbers");
        Matrix4 matrix;
        for (std::size_t i = 0; i < 16; ++i) matrix.m[i] = node.matrix[i];
        return matrix;
    }
    if (!node.translation.empty() && node.translation.size() != 3) {
        fail(path, name + ": a translation needs 3 numbers");
    }
    if (!node.scale.empty() && node.scale.size() != 3)
        fail(path, name + ": a scale needs 3 numbers");
    std::array<double, 4> rotation{0.0, 0.0, 0.0, 1.0};
    if (!node.rotation.empty()) {
        if (node.rotation.size() != 4) fail(path, name + ": a rotation needs 4 numbers");
        // Written to a few decimals, a unit quaternion is rarely of length exactly 1.
        double largest = 0.0;
        for (double q : node.rotation) largest = std::fmax(largest, std::fabs(q));
        if (!(largest > 0.0)) fail(path, name + ": a rotation of length 0 turns nothing");
        double squared = 0.0;
        for (double q : node.rotation) squared += (q / largest) * (q / largest);
        const double length = largest * std::sqrt(squared);
        for (std::size_t i = 0; i < 4; ++i) rotation[i] = node.rotation[i] / length;
    }
    return trs_matrix(vector3(node.translation, {}), rotation,
                      vector3(node.scale, {1.0, 1.0, 1.0}));
}

// Every node's parent (-1: a root), once the children lists are found to make a forest.
std::vector<int> checked_parents(const tinygltf::Model& model, const std::string& path) {
    const std::size_t count = model.nodes.size();
    std::vector<int> parent(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
        for (int child : model.nodes[i].children) {
            if (child < 0 || static_cast<std::size_t>(child) >= count) {
                fail(path, node_name(i) + ": child " + std::to_string(child) + " does not exist");
            }
            const int earlier = parent[static_cast<std::size_t>(child)];
            if (earlier == static_cast<int>(i)) {
                fail(path, node_name(i) + " lists child " + std::to_string(child) + " twice");
            }
            if (earlier != -1) {
                fail(path, node_name(static_cast<std::size_t>(child)) + " is a child of both " +
                               node_name(static_cast<std::size_t>(earlier)) + " and " +
                               node_name(i));
            }
            parent[static_cast<std::size_t>(child)] = static_cast<int>(i);
        }
    }
    // With one parent each, a node that no root leads to hangs below a loop of children.
    std::vector<char> reached(count, 0);
    std::vector<std::size_t> stack;
    for (std::size_t i = 0; i < count; ++i) {
        if (parent[i] == -1) stack.push_back(i);
    }
    while (!stack.empty()) {
        const std::size_t node = stack.back();
        stack.pop_back();
        reached[node] = 1;
        for (int child : model.nodes[node].children)
            stack.push_back(static_cast<std::size_t>(child));
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (reached[i]) continue;
        // Up from here, the first node met twice lies on the loop itself.
        std::vector<char> seen(count, 0);
        std::size_t node = i;
        while (!seen[node]) {
            seen[node] = 1;
            node = static_cast<std::size_t>(parent[node]);
        }
        fail(path, node_name(node) + " is its own descendant");
    }
    return parent;
}

std::vector<int> scene_roots(const tinygltf::Model& model, const std::vector<int>& parent,
                             std::string& where, const std::string& path) {
    if (model.scenes.empty()) {
        if (model.defaultScene >= 0) {
            fail(path, "scene " + std::to_string(model.defaultScene) + " does not exist");
        }
        where = "the model";
        std::vector<int> roots;
        for (std::size_t i = 0; i < parent.size(); ++i) {
            if (parent[i] == -1) roots.push_back(static_cast<int>(i));
        }
        return roots;
    }
    const int scene = model.defaultScene >= 0 ? model.defaultScene : 0;
    if (static_cast<std::size_t>(scene) >= model.scenes.size()) {
        fail(path, "scene " + std::to_string(scene) + " does not exist");
    }
    where = "scene " + std::to_string(scene);
    for (int node : model.scenes[static_cast<std::size_t>(scene)].nodes) {
        if (node < 0 || static_cast<std::size_t>(node) >= model.nodes.size()) {
            fail(path, where + ": node " + std::to_string(node) + " does not exist");
        }
    }
    return model.scenes[static_cast<std::size_t>(scene)].nodes;
}

}  // namespace

std::vector<NodeVisit> scene_nodes(const tinygltf::Model& model, const std::string& path) {
    const std::vector<int> parent = checked_parents(model, path);
    std::string where;
    const std::vector<int> roots = scene_roots(model, parent, where, path);

    std::vector<NodeVisit> visits;
    std::vector<char> visited(model.nodes.size(), 0);
    std::vector<NodeVisit> stack;  // a node and its parent's world transform
    for (auto root = roots.rbegin(); root != roots.rend(); ++root) stack.push_back({*root, {}});
    while (!stack.empty()) {
        NodeVisit visit = stack.back();
        stack.pop_back();
        const auto index = static_cast<std::size_t>(visit.node);
        if (visited[index]) {
            fail(path, where + " reaches " + node_name(index) +
                           " twice (a node listed twice, or with its ancestor)");
        }
        visited[index] = 1;
        visit.world = visit.world * local_matrix(model.nodes[index], index, path);
        visits.push_back(visit);
        const std::vector<int>& children = model.nodes[index].children;
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            stack.push_back({*child, visit.world});
        }
    }
    return visits;
}

}  // namespace tmhost
