// A glTF model written by a test: one buffer, its views and accessors, and whatever JSON the
// test adds around them; read back as text (the buffer in base64) or as a .glb.
#ifndef TONEMIX_GLTF_MODEL_FILE_H
#define TONEMIX_GLTF_MODEL_FILE_H

#include <cstdint>
#include <initializer_list>
#include <string>

#include <nlohmann/json.hpp>

#include "host/scene/gltf_model.h"
#include "host/scene/scene_error.h"
#include "model_writers.h"
#include "thrown_text.h"

namespace tonemix_test {

using nlohmann::json;

inline constexpr int kFloat = 5126;
inline constexpr int kUnsignedByte = 5121;
inline constexpr int kUnsignedShort = 5123;

template <typename T>
std::string bytes_of(std::initializer_list<T> values) {
    std::string bytes;
    for (T value : values) bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    return bytes;
}

// A model under construction: one buffer, its views and accessors, and whatever JSON the test
// adds around them.
struct ModelFile {
    json doc = {{"asset", {{"version", "2.0"}}}};
    std::string bin;

    int view(const std::string& bytes) {
        while (bin.size() % 4 != 0) bin.push_back('\0');
        doc["bufferViews"].push_back(
            {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", bytes.size()}});
        bin += bytes;
        return static_cast<int>(doc["bufferViews"].size()) - 1;
    }
    int accessor(const std::string& bytes, int component_type, const char* type,
                 std::size_t count) {
        doc["accessors"].push_back({{"bufferView", view(bytes)},
                                    {"componentType", component_type},
                                    {"type", type},
                                    {"count", count}});
        return static_cast<int>(doc["accessors"].size()) - 1;
    }
    int positions(std::initializer_list<float> xyz) {
        return accessor(bytes_of(xyz), kFloat, "VEC3", xyz.size() / 3);
    }
    // A mesh of one primitive, shown by a node of its own in scene 0; answers the node.
    int mesh_node(json primitive, json node = json::object()) {
        doc["meshes"].push_back({{"primitives", json::array({primitive})}});
        node["mesh"] = doc["meshes"].size() - 1;
        return add_node(node);
    }
    int add_node(json node, bool root = true) {
        doc["nodes"].push_back(node);
        const int index = static_cast<int>(doc["nodes"].size()) - 1;
        if (root) doc["scenes"][0]["nodes"].push_back(index);
        return index;
    }
    std::string text() {
        json copy = doc;
        copy["buffers"] = {{{"byteLength", bin.size()},
                            {"uri", "data:application/octet-stream;base64," + base64(bin)}}};
        return copy.dump();
    }
    std::string glb(const json& more_buffers = json::array()) {
        json copy = doc;
        copy["buffers"] = {{{"byteLength", bin.size()}}};
        for (const json& buffer : more_buffers) copy["buffers"].push_back(buffer);
        std::string json_chunk = copy.dump();
        while (json_chunk.size() % 4 != 0) json_chunk.push_back(' ');
        std::string bin_chunk = bin;
        while (bin_chunk.size() % 4 != 0) bin_chunk.push_back('\0');
        const auto word = [](std::size_t value) {
            return bytes_of<std::uint32_t>({static_cast<std::uint32_t>(value)});
        };
        return "glTF" + word(2) + word(12 + 8 + json_chunk.size() + 8 + bin_chunk.size()) +
               word(json_chunk.size()) + "JSON" + json_chunk + word(bin_chunk.size()) +
               std::string("BIN\0", 4) + bin_chunk;
    }
};

inline tmhost::GltfModel parse(const std::string& text,
                               std::size_t max_triangles = tmhost::kMaxSceneTriangles) {
    return tmhost::parse_gltf_model(text, false, "m.gltf", "", max_triangles);
}

inline std::string error_of(const std::string& text, bool binary = false) {
    return thrown_text<tmhost::SceneError>(
        [&] { tmhost::parse_gltf_model(text, binary, "m.gltf", "", 100); });
}

inline ModelFile single_triangle() {
    ModelFile file;
    file.mesh_node({{"attributes", {{"POSITION", file.positions({0, 0, 0, 1, 0, 0, 0, 1, 0})}}}});
    return file;
}

}  // namespace tonemix_test

#endif
