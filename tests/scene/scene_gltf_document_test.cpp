// The glTF document as the host checks it before the library reads a byte: the .glb container's
// header and chunks, the numbers the library would cut down to fewer bits, the extensions and
// buffer sources it may not follow, and image views past their buffers. Each is refused in one
// line that names the place.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "gltf_model_file.h"
#include "host/scene/gltf_document.h"
#include "host/scene/scene_error.h"
#include "thrown_text.h"

namespace {

using namespace tmhost;
using namespace tonemix_test;

std::string word(std::uint32_t value) { return bytes_of<std::uint32_t>({value}); }

std::string chunk_error(const std::string& bytes) {
    return thrown_text<SceneError>([&] { glb_json_chunk(bytes, "m.glb"); });
}

TEST(SceneGltfDocument, GlbHeaderAndChunkDamageIsOneLine) {
    const std::string json = R"({"asset":{"version":"2.0"}} )";  // 4-byte aligned
    ASSERT_EQ(json.size() % 4, 0u);
    const auto glb = [&](std::uint32_t version, std::uint32_t length, const std::string& kind,
                         const std::string& rest) {
        return "glTF" + word(version) + word(length) + word(json.size()) + kind + json + rest;
    };
    const std::uint32_t whole = static_cast<std::uint32_t>(20 + json.size());
    EXPECT_EQ(glb_json_chunk(glb(2, whole, "JSON", ""), "m.glb"), json);

    EXPECT_EQ(chunk_error(std::string("glTF\2\0\0\0\0\0\0", 11)),
              "m.glb: not a binary glTF file (no glTF header)");
    EXPECT_EQ(chunk_error("GLTF" + word(2) + word(12)),
              "m.glb: not a binary glTF file (no glTF header)");
    EXPECT_EQ(chunk_error(glb(1, whole, "JSON", "")), "m.glb: binary glTF of version 1, not 2");
    EXPECT_EQ(chunk_error("glTF" + word(2) + word(12)),
              "m.glb: truncated: no room for its JSON chunk");
    EXPECT_EQ(chunk_error(std::string(glb(2, whole, std::string("BIN\0", 4), ""))),
              "m.glb: its first chunk is not JSON");

    // After the JSON, a chunk's header of 8 bytes and the length it gives must fit in the file.
    EXPECT_EQ(chunk_error(glb(2, whole + 4, "JSON", word(0))),
              "m.glb: truncated: the chunk after the JSON at byte " + std::to_string(whole) +
                  " has no room for its header");
    EXPECT_EQ(chunk_error(glb(2, whole + 12, "JSON", word(8) + "BIN" + std::string(5, '\0'))),
              "m.glb: truncated: the chunk of 8 bytes at byte " + std::to_string(whole) +
                  " reaches past the file's " + std::to_string(whole + 12));
    const std::string with_bin = glb(2, whole + 12, "JSON", word(4) + "BIN" + std::string(5, '\0'));
    EXPECT_EQ(glb_json_chunk(with_bin, "m.glb"), json);
    // Bytes past the length the header gives are not the file's.
    EXPECT_EQ(glb_json_chunk(glb(2, whole, "JSON", "trailing"), "m.glb"), json);
}

TEST(SceneGltfDocument, RefusesJsonThatIsNoModel) {
    EXPECT_EQ(error_of("[1, 2]"), "m.gltf: not a glTF file (its JSON is not an object)");
    const std::string text_message = error_of("{\"asset\":");
    EXPECT_EQ(text_message.rfind("m.gltf: line 1, column ", 0), 0u) << text_message;
    // In a .glb, the message says the fault is in its JSON chunk.
    ModelFile file = single_triangle();
    std::string glb = file.glb();
    const std::size_t brace = glb.find('{');
    ASSERT_NE(brace, std::string::npos);
    glb[brace] = '[';
    const std::string chunk_message = error_of(glb, true);
    EXPECT_EQ(chunk_message.rfind("m.gltf: JSON chunk: line 1, column ", 0), 0u) << chunk_message;
}

TEST(SceneGltfDocument, ReadsOnlyExtensionsThatLeaveTheGeometryAlone) {
    ModelFile file = single_triangle();
    file.doc["extensionsRequired"] = {"KHR_lights_punctual", "KHR_xmp_json_ld", "EXT_texture_webp",
                                      "MSFT_texture_dds", "KHR_materials_unlit"};
    EXPECT_EQ(parse(file.text()).mesh.triangles.size(), 1u);
    // A list that is no list names nothing required.
    file.doc["extensionsRequired"] = "KHR_draco_mesh_compression";
    EXPECT_EQ(parse(file.text()).mesh.triangles.size(), 1u);

    file.doc["extensionsRequired"] = {"KHR_materials_unlit", 7};
    EXPECT_EQ(error_of(file.text()), "m.gltf: extensionsRequired holds something other than names");
    // A name is shown short, its control characters made visible.
    file.doc["extensionsRequired"] = {"EXT_\x01mesh_" + std::string(70, 'x')};
    EXPECT_EQ(error_of(file.text()), "m.gltf: needs the extension EXT_?mesh_" +
                                         std::string(50, 'x') +
                                         "..., which tonemix-host does not read");
    // "KHR_texture" alone is no prefix of the harmless kinds.
    file.doc["extensionsRequired"] = {"KHR_texture"};
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: needs the extension KHR_texture, which tonemix-host does not read");
}

TEST(SceneGltfDocument, BufferSourcesStayBesideTheModel) {
    ModelFile file = single_triangle();
    const auto with_uri = [&](const std::string& uri) {
        json doc = file.doc;
        doc["buffers"] = {{{"byteLength", file.bin.size()}, {"uri", uri}}};
        return error_of(doc.dump());
    };
    const std::string beside = "is an absolute path; buffers are read beside the model only";
    EXPECT_EQ(with_uri(""), "m.gltf: buffer 0: \"\" " + beside);
    EXPECT_EQ(with_uri("\\\\server\\share\\a.bin"),
              "m.gltf: buffer 0: \"\\\\server\\share\\a.bin\" " + beside);
    EXPECT_EQ(with_uri("%5ca.bin"), "m.gltf: buffer 0: \"%5ca.bin\" " + beside);
    EXPECT_EQ(with_uri("d%3A%2Fa.bin"), "m.gltf: buffer 0: \"d%3A%2Fa.bin\" " + beside);
    // A scheme is a letter, then letters, digits, '+', '-' or '.'.
    EXPECT_EQ(with_uri("svn+ssh://host/a.bin"),
              "m.gltf: buffer 0: \"svn+ssh://host/a.bin\" is a URI of scheme \"svn+ssh\"; "
              "buffers are read from files and data: URIs only");
    EXPECT_EQ(with_uri("x1.y-z:a.bin"),
              "m.gltf: buffer 0: \"x1.y-z:a.bin\" is a URI of scheme \"x1.y-z\"; buffers are "
              "read from files and data: URIs only");

    // Names with a colon that is no scheme's are files beside the model; a '%' that starts
    // no escape is itself.
    for (const char* uri : {"1a:b.bin", ":a.bin", "a_b:c.bin"}) {
        EXPECT_EQ(with_uri(uri), std::string("m.gltf: File not found : ") + uri) << uri;
    }
    // The library reads a '+' as a blank and a '%' before two characters as an escape, whatever
    // they are (a character that is no digit counting as 0): the name is checked as it reads it.
    EXPECT_EQ(with_uri("a+b%41%4.bin"), "m.gltf: File not found : a bA@bin");
    EXPECT_EQ(with_uri("%5g:/a.bin"), "m.gltf: buffer 0: \"%5g:/a.bin\" " + beside);
    EXPECT_EQ(with_uri("%7x:a.bin"), "m.gltf: buffer 0: \"%7x:a.bin\" " + beside);
    EXPECT_EQ(with_uri("%5.%7.:a.bin"),
              "m.gltf: buffer 0: \"%5.%7.:a.bin\" is a URI of scheme \"Pp\"; buffers are read "
              "from files and data: URIs only");
    // An escape of no digits is a byte 0, where the system would end the name.
    EXPECT_EQ(with_uri("a%g0.bin"),
              "m.gltf: buffer 0: \"a%g0.bin\" names a file with a byte 0 in its name");
    EXPECT_EQ(with_uri("a%00.bin"),
              "m.gltf: buffer 0: \"a%00.bin\" names a file with a byte 0 in its name");
    // The other base64 form the format names is read as the first.
    json doc = file.doc;
    doc["buffers"] = {{{"byteLength", file.bin.size()},
                       {"uri", "data:application/gltf-buffer;base64," + base64(file.bin)}}};
    EXPECT_EQ(parse(doc.dump()).mesh.triangles.size(), 1u);
}

TEST(SceneGltfDocument, RefusesNumbersTheLibraryWouldCutDown) {
    const struct {
        void (*damage)(ModelFile&);
        const char* message;
    } cases[] = {
        {[](ModelFile& f) { f.doc["scene"] = 0.5; }, "m.gltf: scene is not a whole number"},
        {[](ModelFile& f) { f.doc["scene"] = -1; }, "m.gltf: scene -1 does not exist"},
        {[](ModelFile& f) { f.doc["scene"] = 2147483648u; },
         "m.gltf: scene 2147483648 does not exist"},
        {[](ModelFile& f) { f.doc["bufferViews"][0]["byteStride"] = 4294967296u; },
         "m.gltf: buffer view 0: byteStride 4294967296 is out of range"},
        {[](ModelFile& f) { f.doc["bufferViews"][0]["buffer"] = "0"; },
         "m.gltf: buffer view 0: buffer is not a whole number"},
        {[](ModelFile& f) { f.doc["accessors"][0]["componentType"] = 2147483648u; },
         "m.gltf: accessor 0: componentType 2147483648 is out of range"},
        {[](ModelFile& f) { f.doc["accessors"][0]["bufferView"] = -3; },
         "m.gltf: accessor 0: bufferView -3 does not exist"},
        {[](ModelFile& f) { f.doc["meshes"][0]["primitives"][0]["mode"] = -4; },
         "m.gltf: mesh 0 primitive 0: mode -4 is out of range"},
        {[](ModelFile& f) { f.doc["meshes"][0]["primitives"][0]["indices"] = 1.0; },
         "m.gltf: mesh 0 primitive 0: indices is not a whole number"},
        {[](ModelFile& f) { f.doc["meshes"][0]["primitives"][0]["attributes"]["NORMAL"] = -1; },
         "m.gltf: mesh 0 primitive 0: NORMAL -1 does not exist"},
        {[](ModelFile& f) { f.doc["nodes"][0]["camera"] = 4294967295u; },
         "m.gltf: node 0: camera 4294967295 does not exist"},
        {[](ModelFile& f) { f.doc["nodes"][0]["skin"] = -2; },
         "m.gltf: node 0: skin -2 does not exist"},
        {[](ModelFile& f) { f.doc["nodes"][0]["extensions"]["KHR_lights_punctual"]["light"] = -1; },
         "m.gltf: node 0: light -1 does not exist"},
        {[](ModelFile& f) { f.doc["scenes"][0]["nodes"] = {true}; },
         "m.gltf: scene 0: node is not a whole number"},
        {[](ModelFile& f) {
             f.doc["images"] = {{{"bufferView", -1}}};
         },
         "m.gltf: image 0: bufferView -1 does not exist"},
    };
    for (const auto& c : cases) {
        ModelFile file = single_triangle();
        c.damage(file);
        EXPECT_EQ(error_of(file.text()), c.message);
    }
}

TEST(SceneGltfDocument, ImageViewsLieInsideTheirBuffers) {
    const struct {
        void (*damage)(ModelFile&);
        const char* message;
    } cases[] = {
        {[](ModelFile& f) {
             f.doc["images"] = {{{"bufferView", 9}, {"mimeType", "image/png"}}};
         },
         "m.gltf: image 0: buffer view 9 does not exist"},
        {[](ModelFile& f) {
             f.doc["bufferViews"].push_back(7);
             f.doc["images"] = {{{"bufferView", 1}, {"mimeType", "image/png"}}};
         },
         "m.gltf: image 0: buffer view 1 does not exist"},
        {[](ModelFile& f) {
             f.doc["bufferViews"][0]["buffer"] = 3;
             f.doc["images"] = {{{"bufferView", 0}, {"mimeType", "image/png"}}};
         },
         "m.gltf: buffer view 0: buffer 3 does not exist"},
        {[](ModelFile& f) {
             f.doc["bufferViews"][0].erase("buffer");
             f.doc["images"] = {{{"bufferView", 0}, {"mimeType", "image/png"}}};
         },
         "m.gltf: buffer view 0: buffer 1 does not exist"},
        {[](ModelFile& f) {
             f.doc["bufferViews"][0]["byteOffset"] = 4;
             f.doc["images"] = {{{"bufferView", 0}, {"mimeType", "image/png"}}};
         },
         "m.gltf: image 0: buffer view 0 reaches past its buffer 0"},
    };
    for (const auto& c : cases) {
        ModelFile file = single_triangle();
        c.damage(file);
        EXPECT_EQ(error_of(file.text()), c.message);
    }
    // With no views at all, there is none for an image to name.
    ModelFile file = single_triangle();
    json doc = file.doc;
    doc.erase("bufferViews");
    doc["images"] = {{{"bufferView", 0}}};
    EXPECT_EQ(error_of(doc.dump()), "m.gltf: image 0: buffer view 0 does not exist");
}

}  // namespace
