#include "host/scene/gltf_document.h"

#include <cstdint>
#include <cstring>

#include <nlohmann/json.hpp>

#include "host/json/json_text.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

using nlohmann::json;

constexpr std::uint32_t kGlbMagic = 0x46546c67;   // "glTF"
constexpr std::uint32_t kJsonChunk = 0x4e4f534a;  // "JSON"
constexpr std::size_t kGlbHeader = 12;
constexpr std::size_t kChunkHeader = 8;

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw SceneError(path + ": " + what);
}

std::uint32_t little_endian_word(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// A name or URI from the file, short and printable, for a message.
std::string printable(const std::string& text) {
    constexpr std::size_t kLongest = 60;
    std::string shown = text.substr(0, kLongest);
    if (text.size() > kLongest) shown += "...";
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return shown;
}

std::string quoted(const std::string& text) { return "\"" + printable(text) + "\""; }

// Extensions that change nothing of the triangles, the cameras or the lights as they are read
// here: materials, textures and metadata. Every other required extension might.
bool harmless_extension(const std::string& name) {
    static const char* const kPrefixes[] = {"KHR_materials_", "KHR_texture_", "EXT_texture_",
                                            "MSFT_texture_"};
    for (const char* prefix : kPrefixes) {
        if (name.compare(0, std::strlen(prefix), prefix) == 0) return true;
    }
    return name == "KHR_lights_punctual" || name == "KHR_xmp_json_ld";
}

void check_required_extensions(const json& root, const std::string& path) {
    const auto found = root.find("extensionsRequired");
    if (found == root.end() || !found->is_array()) return;
    for (const json& name : *found) {
        if (!name.is_string()) fail(path, "extensionsRequired holds something other than names");
        const std::string& text = name.get_ref<const std::string&>();
        if (!harmless_extension(text)) {
            fail(path,
                 "needs the extension " + printable(text) + ", which tonemix-host does not read");
        }
    }
}

// The name the library opens for a buffer's URI, decoded as it decodes it: '+' is a blank, and
// '%' with the two characters after it is one byte whatever they are (a character that is no hex
// digit counting as 0), so that "%5g:" reaches it as "P:". The checks look at this name, not at
// what a stricter decoder would make of the URI.
std::string percent_decoded(const std::string& uri) {
    const auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return 0;
    };
    std::string text;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '+') {
            text.push_back(' ');
        } else if (uri[i] == '%' && i + 2 < uri.size()) {
            text.push_back(static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2])));
            i += 2;
        } else {
            text.push_back(uri[i]);
        }
    }
    return text;
}

// "http" for "http://...", "" when the reference has no scheme.
std::string uri_scheme(const std::string& uri) {
    const std::size_t colon = uri.find(':');
    if (colon == std::string::npos || colon == 0) return "";
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = uri[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && other)) return "";
    }
    return uri.substr(0, colon);
}

// A buffer is the file's own binary chunk, base64 in the file, or a file in the model's folder
// (or below or beside it, as a relative reference): nothing the model names reaches the network
// or a place the user did not put beside it.
void check_buffer_source(const std::string& uri, const std::string& where,
                         const std::string& path) {
    if (uri.compare(0, 5, "data:") == 0) {
        if (uri.compare(0, 37, "data:application/octet-stream;base64,") != 0 &&
            uri.compare(0, 36, "data:application/gltf-buffer;base64,") != 0) {
            fail(path, where +
                           ": a data URI other than base64 application/octet-stream or "
                           "application/gltf-buffer");
        }
        return;
    }
    for (const std::string& form : {uri, percent_decoded(uri)}) {
        // The system would read the name only up to the byte 0: another file than the one named.
        if (form.find('\0') != std::string::npos) {
            fail(path, where + ": " + quoted(uri) + " names a file with a byte 0 in its name");
        }
        const std::string scheme = uri_scheme(form);
        const bool drive = scheme.size() == 1;
        if (form.empty() || form[0] == '/' || form[0] == '\\' || drive) {
            fail(path, where + ": " + quoted(uri) +
                           " is an absolute path; buffers are read beside the model only");
        }
        if (!scheme.empty()) {
            fail(path, where + ": " + quoted(uri) + " is a URI of scheme " + quoted(scheme) +
                           "; buffers are read from files and data: URIs only");
        }
    }
}

void check_buffers(const json& root, bool binary, const std::string& path) {
    const auto buffers = root.find("buffers");
    if (buffers == root.end() || !buffers->is_array()) return;
    for (std::size_t i = 0; i < buffers->size(); ++i) {
        const json& buffer = (*buffers)[i];
        if (!buffer.is_object()) continue;
        const std::string where = "buffer " + std::to_string(i);
        const auto uri = buffer.find("uri");
        if (uri != buffer.end() && uri->is_string()) {
            check_buffer_source(uri->get_ref<const std::string&>(), where, path);
        } else if (binary && i != 0) {
            // The library would hand the binary chunk to every buffer without a URI.
            fail(path, where + " has no URI, and only buffer 0 is the file's binary chunk");
        }
    }
}

// How a whole number of the file is used: as an index, a count or length of bytes (a size_t of
// these builds), or a code such as a component type.
enum class Whole { index, size, code };

// The library reads these numbers into int and size_t by plain conversion, so a value beyond
// 32 bits would arrive cut down to a small one and be believed.
void check_whole_value(const json& value, const std::string& name, Whole kind,
                       const std::string& path) {
    if (!value.is_number_integer()) fail(path, name + " is not a whole number");
    const bool negative = !value.is_number_unsigned() && value.get<std::int64_t>() < 0;
    const std::uint64_t magnitude = value.is_number_unsigned() ? value.get<std::uint64_t>() : 0;
    const std::uint64_t limit =
        kind == Whole::size ? std::uint64_t{1} << 32 : std::uint64_t{1} << 31;
    if (negative || magnitude >= limit) {
        fail(path, name + " " + value.dump() +
                       (kind == Whole::index ? " does not exist" : " is out of range"));
    }
}

std::string field_name(const std::string& where, const char* key) {
    return where.empty() ? std::string(key) : where + ": " + key;
}

void check_whole(const json& object, const char* key, Whole kind, const std::string& where,
                 const std::string& path) {
    const auto found = object.find(key);
    if (found != object.end()) check_whole_value(*found, field_name(where, key), kind, path);
}

// Each entry of the list `key`, named as one `entry` ("child 5").
void check_index_list(const json& object, const char* key, const char* entry_name,
                      const std::string& where, const std::string& path) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_array()) return;
    for (const json& entry : *found) {
        check_whole_value(entry, field_name(where, entry_name), Whole::index, path);
    }
}

// Each object of the top-level array `key`, with its name for messages ("accessor 3").
template <typename Check>
void each_object(const json& root, const char* key, const char* name, Check check) {
    const auto found = root.find(key);
    if (found == root.end() || !found->is_array()) return;
    for (std::size_t i = 0; i < found->size(); ++i) {
        const json& object = (*found)[i];
        if (object.is_object()) check(object, std::string(name) + " " + std::to_string(i));
    }
}

void check_primitives(const json& mesh, const std::string& where, const std::string& path) {
    const auto primitives = mesh.find("primitives");
    if (primitives == mesh.end() || !primitives->is_array()) return;
    for (std::size_t i = 0; i < primitives->size(); ++i) {
        const json& primitive = (*primitives)[i];
        if (!primitive.is_object()) continue;
        const std::string place = where + " primitive " + std::to_string(i);
        check_whole(primitive, "indices", Whole::index, place, path);
        check_whole(primitive, "mode", Whole::code, place, path);
        const auto attributes = primitive.find("attributes");
        if (attributes == primitive.end() || !attributes->is_object()) continue;
        for (const auto& attribute : attributes->items()) {
            check_whole(*attributes, attribute.key().c_str(), Whole::index, place, path);
        }
    }
}

void check_light_reference(const json& node, const std::string& where, const std::string& path) {
    const auto extensions = node.find("extensions");
    if (extensions == node.end() || !extensions->is_object()) return;
    const auto lights = extensions->find("KHR_lights_punctual");
    if (lights == extensions->end() || !lights->is_object()) return;
    check_whole(*lights, "light", Whole::index, where, path);
}

void check_whole_numbers(const json& root, const std::string& path) {
    check_whole(root, "scene", Whole::index, "", path);
    each_object(root, "buffers", "buffer", [&](const json& buffer, const std::string& where) {
        check_whole(buffer, "byteLength", Whole::size, where, path);
        // The library indexes the first byte of every buffer it copies.
        const auto length = buffer.find("byteLength");
        if (length != buffer.end() && *length == 0) fail(path, where + " is of 0 bytes");
    });
    each_object(root, "bufferViews", "buffer view",
                [&](const json& view, const std::string& where) {
                    check_whole(view, "buffer", Whole::index, where, path);
                    for (const char* key : {"byteOffset", "byteLength", "byteStride"}) {
                        check_whole(view, key, Whole::size, where, path);
                    }
                });
    each_object(root, "accessors", "accessor", [&](const json& accessor, const std::string& where) {
        check_whole(accessor, "bufferView", Whole::index, where, path);
        check_whole(accessor, "byteOffset", Whole::size, where, path);
        check_whole(accessor, "count", Whole::size, where, path);
        check_whole(accessor, "componentType", Whole::code, where, path);
    });
    each_object(root, "meshes", "mesh", [&](const json& mesh, const std::string& where) {
        check_primitives(mesh, where, path);
    });
    each_object(root, "nodes", "node", [&](const json& node, const std::string& where) {
        for (const char* key : {"mesh", "camera", "skin"}) {
            check_whole(node, key, Whole::index, where, path);
        }
        check_index_list(node, "children", "child", where, path);
        check_light_reference(node, where, path);
    });
    each_object(root, "scenes", "scene", [&](const json& scene, const std::string& where) {
        check_index_list(scene, "nodes", "node", where, path);
    });
    each_object(root, "images", "image", [&](const json& image, const std::string& where) {
        check_whole(image, "bufferView", Whole::index, where, path);
    });
}

std::uint64_t whole_or(const json& object, const char* key, std::uint64_t otherwise) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number_unsigned() ? found->get<std::uint64_t>()
                                                                : otherwise;
}

// The library hands an image's bytes to its image loader without looking at their length; no
// image is decoded here, but no view past its buffer is let through either.
void check_image_views(const json& root, const std::string& path) {
    const json empty = json::array();
    const auto views = root.find("bufferViews");
    const auto buffers = root.find("buffers");
    const json& view_list = views != root.end() && views->is_array() ? *views : empty;
    const json& buffer_list = buffers != root.end() && buffers->is_array() ? *buffers : empty;
    each_object(root, "images", "image", [&](const json& image, const std::string& where) {
        const auto index = image.find("bufferView");
        if (index == image.end()) return;
        const std::uint64_t v = index->get<std::uint64_t>();
        if (v >= view_list.size() || !view_list[v].is_object()) {
            fail(path, where + ": buffer view " + std::to_string(v) + " does not exist");
        }
        const json& view = view_list[v];
        const std::uint64_t b = whole_or(view, "buffer", buffer_list.size());
        if (b >= buffer_list.size() || !buffer_list[b].is_object()) {
            fail(path, "buffer view " + std::to_string(v) + ": buffer " + std::to_string(b) +
                           " does not exist");
        }
        if (whole_or(view, "byteOffset", 0) + whole_or(view, "byteLength", 0) >
            whole_or(buffer_list[b], "byteLength", 0)) {
            fail(path, where + ": buffer view " + std::to_string(v) + " reaches past its buffer " +
                           std::to_string(b));
        }
    });
}

}  // namespace

std::string glb_json_chunk(const std::string& bytes, const std::string& path) {
    if (bytes.size() < kGlbHeader || little_endian_word(bytes, 0) != kGlbMagic) {
        fail(path, "not a binary glTF file (no glTF header)");
    }
    const std::uint32_t version = little_endian_word(bytes, 4);
    if (version != 2) fail(path, "binary glTF of version " + std::to_string(version) + ", not 2");
    const std::uint64_t length = little_endian_word(bytes, 8);
    if (length > bytes.size()) {
        fail(path, "truncated: its header gives " + std::to_string(length) +
                       " bytes, the file holds " + std::to_string(bytes.size()));
    }
    if (length < kGlbHeader + kChunkHeader) fail(path, "truncated: no room for its JSON chunk");
    const std::uint64_t json_length = little_endian_word(bytes, kGlbHeader);
    if (little_endian_word(bytes, kGlbHeader + 4) != kJsonChunk) {
        fail(path, "its first chunk is not JSON");
    }
    const std::uint64_t json_end = kGlbHeader + kChunkHeader + json_length;
    if (json_end > length) {
        fail(path, "truncated: the JSON chunk of " + std::to_string(json_length) +
                       " bytes reaches past the file's " + std::to_string(length));
    }
    if (json_end < length) {
        if (json_end + kChunkHeader > length) {
            fail(path, "truncated: the chunk after the JSON at byte " + std::to_string(json_end) +
                           " has no room for its header");
        }
        const std::uint64_t next_length =
            little_endian_word(bytes, static_cast<std::size_t>(json_end));
        if (json_end + kChunkHeader + next_length > length) {
            fail(path, "truncated: the chunk of " + std::to_string(next_length) +
                           " bytes at byte " + std::to_string(json_end) +
                           " reaches past the file's " + std::to_string(length));
        }
    }
    return bytes.substr(kGlbHeader + kChunkHeader, static_cast<std::size_t>(json_length));
}

void check_gltf_document(const std::string& json_text, bool binary, const std::string& path) {
    json root;
    try {
        root = parse_json_text(json_text);
    } catch (const JsonTextError& error) {
        fail(path, std::string(binary ? "JSON chunk: " : "") + error.what());
    }
    if (!root.is_object()) fail(path, "not a glTF file (its JSON is not an object)");
    check_required_extensions(root, path);
    check_whole_numbers(root, path);
    check_buffers(root, binary, path);
    check_image_views(root, path);
}

}  // namespace tmhost
