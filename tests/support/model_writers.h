// One small mesh written in every model format the host reads, byte by byte as the tools that
// write each format lay it out: for tests that the formats read to the same triangles.
#ifndef TONEMIX_MODEL_WRITERS_H
#define TONEMIX_MODEL_WRITERS_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tonemix_test {

struct TestMesh {
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<int, 3>> triangles;  // indices from 0
    std::vector<std::array<float, 3>> colours;  // one per position, or none
};

inline std::string float_text(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

inline std::string obj_text(const TestMesh& mesh) {
    std::string text = "# written by the test\n";
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        const auto& p = mesh.positions[i];
        text += "v " + float_text(p[0]) + " " + float_text(p[1]) + " " + float_text(p[2]);
        if (!mesh.colours.empty()) {
            const auto& c = mesh.colours[i];
            text += " " + float_text(c[0]) + " " + float_text(c[1]) + " " + float_text(c[2]);
        }
        text += "\n";
    }
    for (const auto& t : mesh.triangles) {
        text += "f " + std::to_string(t[0] + 1) + " " + std::to_string(t[1] + 1) + " " +
                std::to_string(t[2] + 1) + "\n";
    }
    return text;
}

template <typename T>
void put(std::string& bytes, T value, bool big_endian = false) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (big_endian) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(raw[i], raw[sizeof(T) - 1 - i]);
    }
    bytes.append(raw, sizeof(T));
}

enum class PlyFormat { ascii, little_endian, big_endian };

inline std::string ply_bytes(const TestMesh& mesh, PlyFormat format) {
    const char* names[] = {"ascii", "binary_little_endian", "binary_big_endian"};
    std::string bytes = std::string("ply\nformat ") + names[static_cast<int>(format)] +
                        " 1.0\ncomment written by the test\nelement vertex " +
                        std::to_string(mesh.positions.size()) +
                        "\nproperty float x\nproperty float y\nproperty float z\n";
    if (!mesh.colours.empty()) {
        bytes += "property float red\nproperty float green\nproperty float blue\n";
    }
    bytes += "element face " + std::to_string(mesh.triangles.size()) +
             "\nproperty list uchar int vertex_indices\nend_header\n";
    const bool big = format == PlyFormat::big_endian;
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        std::vector<float> values(mesh.positions[i].begin(), mesh.positions[i].end());
        if (!mesh.colours.empty()) {
            values.insert(values.end(), mesh.colours[i].begin(), mesh.colours[i].end());
        }
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (format == PlyFormat::ascii) {
                bytes += float_text(values[k]) + (k + 1 < values.size() ? " " : "\n");
            } else {
                put(bytes, values[k], big);
            }
        }
    }
    for (const auto& t : mesh.triangles) {
        if (format == PlyFormat::ascii) {
            bytes += "3 " + std::to_string(t[0]) + " " + std::to_string(t[1]) + " " +
                     std::to_string(t[2]) + "\n";
        } else {
            put(bytes, static_cast<std::uint8_t>(3));
            for (const int index : t) put(bytes, static_cast<std::int32_t>(index), big);
        }
    }
    return bytes;
}

inline std::string stl_text(const TestMesh& mesh) {
    std::string text = "solid test\n";
    for (const auto& t : mesh.triangles) {
        text += "  facet normal 0 0 0\n    outer loop\n";
        for (const int index : t) {
            const auto& p = mesh.positions[static_cast<std::size_t>(index)];
            text += "      vertex " + float_text(p[0]) + " " + float_text(p[1]) + " " +
                    float_text(p[2]) + "\n";
        }
        text += "    endloop\n  endfacet\n";
    }
    return text + "endsolid test\n";
}

inline std::string stl_bytes(const TestMesh& mesh) {
    // A header that starts as a text file does: readers must go by the size.
    std::string bytes = "solid but binary";
    bytes.resize(80, ' ');
    put(bytes, static_cast<std::uint32_t>(mesh.triangles.size()));
    for (const auto& t : mesh.triangles) {
        for (int k = 0; k < 3; ++k) put(bytes, 0.0f);
        for (const int index : t) {
            for (const float value : mesh.positions[static_cast<std::size_t>(index)]) {
                put(bytes, value);
            }
        }
        put(bytes, static_cast<std::uint16_t>(0));
    }
    return bytes;
}

inline std::string base64(const std::string& bytes) {
    static const char* const kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[i + 2]);
        text += kDigits[(group >> 18) & 63];
        text += kDigits[(group >> 12) & 63];
        text += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return text;
}

// The buffer: positions (float VEC3), then indices (unsigned int), each view 4-byte aligned.
inline std::string gltf_buffer(const TestMesh& mesh) {
    std::string bytes;
    for (const auto& p : mesh.positions) {
        for (const float value : p) put(bytes, value);
    }
    for (const auto& t : mesh.triangles) {
        for (const int index : t) put(bytes, static_cast<std::uint32_t>(index));
    }
    return bytes;
}

// The document; `uri` is the buffer's, empty for a .glb's own chunk.
inline std::string gltf_json(const TestMesh& mesh, const std::string& uri) {
    float low[3] = {1e30f, 1e30f, 1e30f};
    float high[3] = {-1e30f, -1e30f, -1e30f};
    for (const auto& p : mesh.positions) {
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], p[k]);
            high[k] = std::max(high[k], p[k]);
        }
    }
    const std::size_t positions = mesh.positions.size() * 12;
    const std::size_t indices = mesh.triangles.size() * 12;
    const auto list = [](const float* v) {
        return "[" + float_text(v[0]) + "," + float_text(v[1]) + "," + float_text(v[2]) + "]";
    };
    return R"({"asset":{"version":"2.0","generator":"test"},"scene":0,"scenes":[{"nodes":[0]}],)"
           R"("nodes":[{"mesh":0}],"meshes":[{"primitives":[{"attributes":{"POSITION":0},)"
           R"("indices":1,"mode":4}]}],"accessors":[{"bufferView":0,"componentType":5126,)"
           R"("count":)" +
           std::to_string(mesh.positions.size()) + R"(,"type":"VEC3","min":)" + list(low) +
           R"(,"max":)" + list(high) + R"(},{"bufferView":1,"componentType":5125,"count":)" +
           std::to_string(mesh.triangles.size() * 3) +
           R"(,"type":"SCALAR"}],"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":)" +
           std::to_string(positions) + R"(},{"buffer":0,"byteOffset":)" +
           std::to_string(positions) + R"(,"byteLength":)" + std::to_string(indices) +
           R"(}],"buffers":[{)" + (uri.empty() ? "" : R"("uri":")" + uri + R"(",)") +
           R"("byteLength":)" + std::to_string(positions + indices) + "}]}";
}

inline std::string gltf_embedded(const TestMesh& mesh) {
    return gltf_json(mesh, "data:application/octet-stream;base64," + base64(gltf_buffer(mesh)));
}

inline std::string glb_bytes(const TestMesh& mesh) {
    std::string json = gltf_json(mesh, "");
    while (json.size() % 4 != 0) json += ' ';
    std::string bin = gltf_buffer(mesh);
    while (bin.size() % 4 != 0) bin += '\0';
    std::string bytes = "glTF";
    put(bytes, static_cast<std::uint32_t>(2));
    put(bytes, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    put(bytes, static_cast<std::uint32_t>(json.size()));
    bytes += "JSON" + json;
    put(bytes, static_cast<std::uint32_t>(bin.size()));
    bytes += std::string("BIN\0", 4) + bin;
    return bytes;
}

}  // namespace tonemix_test

#endif
