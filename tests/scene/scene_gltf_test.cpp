// glTF models: the node hierarchy placed in world coordinates, strips and fans, cameras and point
// lights from the file, buffers in every place the format keeps them, and every kind of damage
// refused in one line before anything is built from it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

#include <nlohmann/json.hpp>

#include "gltf_model_file.h"
#include "host/scene/gltf_model.h"
#include "host/scene/scene_error.h"
#include "temporary_folder.h"
#include "thrown_text.h"

#if defined(__linux__)
#include <sys/stat.h>
#endif

namespace {

using namespace tmhost;
using nlohmann::json;
using namespace tonemix_test;

void expect_near(const Vec3& actual, const Vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-12);
    EXPECT_NEAR(actual.y, expected.y, 1e-12);
    EXPECT_NEAR(actual.z, expected.z, 1e-12);
}

// Corner c of triangle t, as a position.
Vec3 corner(const GltfModel& model, std::size_t t, std::size_t c) {
    return model.mesh.positions[model.mesh.triangles[t][c].position];
}

TEST(SceneGltfModel, ReadsOneTriangleFromBase64) {
    const GltfModel model = parse(single_triangle().text());
    ASSERT_EQ(model.mesh.triangles.size(), 1u);
    EXPECT_EQ(corner(model, 0, 0), (Vec3{0, 0, 0}));
    EXPECT_EQ(corner(model, 0, 1), (Vec3{1, 0, 0}));
    EXPECT_EQ(corner(model, 0, 2), (Vec3{0, 1, 0}));
    EXPECT_EQ(model.mesh.triangles[0][0].normal, -1);
    EXPECT_TRUE(model.mesh.normals.empty());
    EXPECT_TRUE(model.mesh.colours.empty());
    EXPECT_TRUE(model.cameras.empty());
    EXPECT_TRUE(model.lights.empty());
    EXPECT_TRUE(model.notes.empty());
}

TEST(SceneGltfModel, PlacesAChildByItsParentsRotationScaleAndTranslation) {
    ModelFile file;
    const double half = std::sqrt(0.5);  // 90 degrees about z
    const int child = file.add_node({{"translation", {1, 0, 0}}}, false);
    file.add_node({{"translation", {10, 0, 0}},
                   {"rotation", {0, 0, half, half}},
                   {"scale", {2, 2, 2}},
                   {"children", {child}}});
    file.doc["meshes"].push_back(
        {{"primitives",
          {{{"attributes", {{"POSITION", file.positions({0, 0, 0, 1, 0, 0, 0, 1, 0})}}}}}}});
    file.doc["nodes"][child]["mesh"] = 0;
    const GltfModel model = parse(file.text());
    ASSERT_EQ(model.mesh.triangles.size(), 1u);
    // Child space (1, 0, 0) + v, doubled, turned so that x goes to y, moved by (10, 0, 0).
    expect_near(corner(model, 0, 0), {10, 2, 0});
    expect_near(corner(model, 0, 1), {10, 4, 0});
    expect_near(corner(model, 0, 2), {8, 2, 0});
}

TEST(SceneGltfModel, TurnsNormalsByTheInverseTranspose) {
    ModelFile file;
    const int normals =
        file.accessor(bytes_of<float>({1, 1, 0, 1, 1, 0, 1, 1, 0}), kFloat, "VEC3", 3);
    // A matrix that stretches x by 2: a surface x + y = c becomes x / 2 + y = c.
    file.mesh_node(
        {{"attributes",
          {{"POSITION", file.positions({1, 0, 0, 0, 1, 0, 0, 0, 1})}, {"NORMAL", normals}}}},
        {{"matrix", {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}});
    const GltfModel model = parse(file.text());
    ASSERT_EQ(model.mesh.normals.size(), 3u);
    const Vec3 n = model.mesh.normals[model.mesh.triangles[0][0].normal];
    EXPECT_NEAR(n.y / n.x, 2.0, 1e-12);
    EXPECT_GT(n.x, 0.0);
    EXPECT_EQ(n.z, 0.0);
}

TEST(SceneGltfModel, SplitsStripsAndFansFacingOneWay) {
    ModelFile file;
    const int strip = file.positions({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 2, 0});
    file.mesh_node({{"mode", 5}, {"attributes", {{"POSITION", strip}}}});
    const int fan = file.positions({0, 0, 5, 1, 0, 5, 1, 1, 5, 0, 1, 5});
    const int indices =
        file.accessor(bytes_of<std::uint16_t>({0, 1, 2, 3}), kUnsignedShort, "SCALAR", 4);
    file.mesh_node({{"mode", 6}, {"indices", indices}, {"attributes", {{"POSITION", fan}}}});
    const GltfModel model = parse(file.text());
    ASSERT_EQ(model.mesh.triangles.size(), 5u);
    const Vec3 expected[5][3] = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                 {{0, 1, 0}, {1, 0, 0}, {1, 1, 0}},
                                 {{0, 1, 0}, {1, 1, 0}, {0, 2, 0}},
                                 {{1, 0, 5}, {1, 1, 5}, {0, 0, 5}},
                                 {{1, 1, 5}, {0, 1, 5}, {0, 0, 5}}};
    for (std::size_t t = 0; t < 5; ++t) {
        for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(corner(model, t, c), expected[t][c]) << t;
    }
}

TEST(SceneGltfModel, TakesPerspectiveCamerasAndNotesTheOthers) {
    ModelFile file = single_triangle();
    file.doc["cameras"] = {
        {{"type", "perspective"}, {"perspective", {{"yfov", 0.5}, {"znear", 0.1}}}},
        {{"type", "orthographic"},
         {"orthographic", {{"xmag", 1}, {"ymag", 1}, {"znear", 0}, {"zfar", 9}}}}};
    // Turned half round y: looks down +z.
    file.add_node({{"camera", 0}, {"translation", {1, 2, 3}}, {"rotation", {0, 1, 0, 0}}});
    file.add_node({{"camera", 1}});
    const GltfModel model = parse(file.text());
    ASSERT_EQ(model.cameras.size(), 1u);
    const Camera& camera = model.cameras[0];
    EXPECT_EQ(camera.position, (Vec3{1, 2, 3}));
    // One step as long as the position's largest coordinate, down the view.
    expect_near(camera.target, {1, 2, 6});
    expect_near(camera.up, {0, 1, 0});
    EXPECT_NEAR(camera.fov_degrees, 28.64788975654116, 1e-12);
    EXPECT_EQ(model.notes, std::vector<std::string>{"1 orthographic camera left out"});

    file.doc["cameras"][0]["perspective"]["yfov"] = 3.2;
    EXPECT_EQ(error_of(file.text()), "m.gltf: camera 0: yfov 3.200000 is not between 0 and pi");
}

TEST(SceneGltfModel, TakesPointLightsWithUniqueNames) {
    ModelFile file = single_triangle();
    file.doc["extensionsUsed"] = {"KHR_lights_punctual"};
    file.doc["extensions"]["KHR_lights_punctual"]["lights"] = {
        {{"type", "point"}, {"name", "lamp"}, {"color", {1, 0.5, 0.25}}, {"intensity", 20}},
        {{"type", "point"}, {"range", 7}},
        {{"type", "spot"}, {"spot", json::object()}}};
    const auto light_node = [&](int light, json node) {
        node["extensions"]["KHR_lights_punctual"]["light"] = light;
        file.add_node(node);
    };
    light_node(0, {{"translation", {0, 5, 0}}});
    light_node(0, {{"translation", {0, 6, 0}}});
    light_node(1, json::object());
    light_node(2, json::object());
    const GltfModel model = parse(file.text());
    ASSERT_EQ(model.lights.size(), 3u);
    const Light& lamp = model.lights[0];
    EXPECT_EQ(lamp.name, "lamp");
    EXPECT_EQ(lamp.position, (Vec3{0, 5, 0}));
    EXPECT_EQ(lamp.colour, (Colour{1.0f, 0.5f, 0.25f}));
    EXPECT_EQ(lamp.intensity, 20.0f);
    EXPECT_EQ(lamp.falloff, Falloff::inverse_square);
    EXPECT_EQ(lamp.reference_distance, 1.0);
    EXPECT_EQ(lamp.range, std::numeric_limits<double>::infinity());
    EXPECT_EQ(model.lights[1].name, "lamp 2");
    EXPECT_EQ(model.lights[1].position, (Vec3{0, 6, 0}));
    EXPECT_EQ(model.lights[2].name, "light 1");
    EXPECT_EQ(model.lights[2].range, 7.0);
    EXPECT_EQ(model.notes, std::vector<std::string>{"1 spot light left out"});
}

TEST(SceneGltfModel, ReadsColoursAsFloatsOrNormalizedIntegers) {
    ModelFile file;
    const int bytes =
        file.accessor(bytes_of<std::uint8_t>({255, 0, 0, 9, 0, 255, 0, 9, 0, 0, 51, 9}),
                      kUnsignedByte, "VEC4", 3);
    file.doc["accessors"][bytes]["normalized"] = true;
    file.mesh_node(
        {{"attributes",
          {{"POSITION", file.positions({0, 0, 0, 1, 0, 0, 0, 1, 0})}, {"COLOR_0", bytes}}}});
    // A primitive without colours beside one with: white.
    file.mesh_node({{"attributes", {{"POSITION", file.positions({0, 0, 1, 1, 0, 1, 0, 1, 1})}}}});
    const GltfModel model = parse(file.text());
    ASSERT_EQ(model.mesh.colours.size(), model.mesh.positions.size());
    EXPECT_EQ(model.mesh.colours[model.mesh.triangles[0][0].position], (Colour{1, 0, 0}));
    EXPECT_EQ(model.mesh.colours[model.mesh.triangles[0][1].position], (Colour{0, 1, 0}));
    EXPECT_EQ(model.mesh.colours[model.mesh.triangles[0][2].position], (Colour{0, 0, 0.2f}));
    EXPECT_EQ(model.mesh.colours[model.mesh.triangles[1][0].position], (Colour{1, 1, 1}));
}

TEST(SceneGltfModel, ReadsGlbAndExternalBuffers) {
    TemporaryFolder folder;
    ModelFile file = single_triangle();
    const std::string glb = folder.write("m.glb", file.glb()).string();
    EXPECT_EQ(load_gltf_model(glb, 10).mesh.triangles.size(), 1u);

    json doc = file.doc;
    doc["buffers"] = {{{"byteLength", file.bin.size()}, {"uri", "data/tri%20angle.bin"}}};
    folder.write("data/tri angle.bin", file.bin);
    const std::string text = folder.write("m.gltf", doc.dump()).string();
    const GltfModel model = load_gltf_model(text, 10);
    ASSERT_EQ(model.mesh.triangles.size(), 1u);
    EXPECT_EQ(corner(model, 0, 1), (Vec3{1, 0, 0}));

    // The current folder is no place to find a buffer that the model's folder lacks.
    doc["buffers"][0]["uri"] = "elsewhere.bin";
    folder.write("m.gltf", doc.dump());
    EXPECT_EQ(thrown_text<SceneError>([&] { load_gltf_model(text, 10); }),
              text + ": File not found : elsewhere.bin");
#if defined(__linux__)
    // A FIFO would leave the reader waiting for a writer that never comes.
    ASSERT_EQ(mkfifo((folder.path() / "elsewhere.bin").c_str(), 0600), 0);
    const std::string message = thrown_text<SceneError>([&] { load_gltf_model(text, 10); });
    EXPECT_NE(message.find("elsewhere.bin : not a regular file"), std::string::npos) << message;
#endif
}

TEST(SceneGltfModel, RefusesBuffersFromAnywhereButBesideTheModel) {
    ModelFile file = single_triangle();
    const auto with_uri = [&](const std::string& uri) {
        json doc = file.doc;
        doc["buffers"] = {{{"byteLength", file.bin.size()}, {"uri", uri}}};
        return error_of(doc.dump());
    };
    EXPECT_EQ(with_uri("/etc/passwd"),
              "m.gltf: buffer 0: \"/etc/passwd\" is an absolute path; buffers are read beside "
              "the model only");
    EXPECT_EQ(with_uri("%2Fetc%2Fpasswd"),
              "m.gltf: buffer 0: \"%2Fetc%2Fpasswd\" is an absolute path; buffers are read "
              "beside the model only");
    EXPECT_EQ(with_uri("C:\\a.bin"),
              "m.gltf: buffer 0: \"C:\\a.bin\" is an absolute path; buffers are read beside the "
              "model only");
    EXPECT_EQ(with_uri("https://example.com/a.bin"),
              "m.gltf: buffer 0: \"https://example.com/a.bin\" is a URI of scheme \"https\"; "
              "buffers are read from files and data: URIs only");
    EXPECT_EQ(with_uri("data:text/plain,abc"),
              "m.gltf: buffer 0: a data URI other than base64 application/octet-stream or "
              "application/gltf-buffer");
}

TEST(SceneGltfModel, RefusesRequiredExtensionsThatChangeTheGeometry) {
    ModelFile file = single_triangle();
    file.doc["extensionsRequired"] = {"KHR_materials_emissive_strength", "KHR_texture_transform"};
    EXPECT_EQ(parse(file.text()).mesh.triangles.size(), 1u);
    file.doc["extensionsRequired"].push_back("KHR_draco_mesh_compression");
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: needs the extension KHR_draco_mesh_compression, which tonemix-host does "
              "not read");
}

TEST(SceneGltfModel, NotesPrimitivesOfPointsAndLines) {
    ModelFile file = single_triangle();
    file.mesh_node({{"mode", 0}, {"attributes", {{"POSITION", 0}}}});
    file.mesh_node({{"mode", 3}, {"attributes", {{"POSITION", 0}}}});
    const GltfModel model = parse(file.text());
    EXPECT_EQ(model.mesh.triangles.size(), 1u);
    EXPECT_EQ(model.notes, std::vector<std::string>{"2 primitives of points or lines left out"});
}

TEST(SceneGltfDamage, TruncatedGlbIsOneLine) {
    const std::string glb = single_triangle().glb();
    EXPECT_EQ(error_of(glb.substr(0, glb.size() - 4), true),
              "m.gltf: truncated: its header gives " + std::to_string(glb.size()) +
                  " bytes, the file holds " + std::to_string(glb.size() - 4));
    std::string short_chunk = glb;
    const std::uint32_t huge = 0x7ffffff0;
    std::memcpy(&short_chunk[12], &huge, 4);
    EXPECT_EQ(error_of(short_chunk, true),
              "m.gltf: truncated: the JSON chunk of 2147483632 bytes reaches past the file's " +
                  std::to_string(glb.size()));
    EXPECT_EQ(error_of("glTF", true), "m.gltf: not a binary glTF file (no glTF header)");
}

TEST(SceneGltfDamage, EveryFaultOfTheGeometryNamesItsPlace) {
    const struct {
        void (*damage)(ModelFile&);
        const char* message;
    } cases[] = {
        {[](ModelFile& f) { f.doc["bufferViews"][0]["byteLength"] = 40; },
         "m.gltf: buffer view 0 reaches past its buffer 0"},
        {[](ModelFile& f) { f.doc["accessors"][0]["byteOffset"] = 4; },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0 reaches past its buffer view"},
        {[](ModelFile& f) { f.doc["accessors"][0]["count"] = 2147483648u; },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0 reaches past its buffer view"},
        {[](ModelFile& f) { f.doc["accessors"][0]["count"] = 4294967297u; },
         "m.gltf: accessor 0: count 4294967297 is out of range"},
        {[](ModelFile& f) { f.doc["accessors"][0]["type"] = "VEC2"; },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0 holds VEC2 of FLOAT, not VEC3 of "
         "FLOAT"},
        {[](ModelFile& f) {
             f.doc["meshes"][0]["primitives"][0]["indices"] =
                 f.accessor(bytes_of<std::uint8_t>({0, 1, 3}), kUnsignedByte, "SCALAR", 3);
         },
         "m.gltf: mesh 0 primitive 0: indices accessor 1: index 3 (element 2) is out of range "
         "of the 3 vertices"},
        {[](ModelFile& f) {
             f.doc["accessors"][0]["sparse"] = {
                 {"count", 1},
                 {"indices", {{"bufferView", 0}, {"componentType", kUnsignedByte}}},
                 {"values", {{"bufferView", 0}}}};
         },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0 is sparse, which tonemix-host does "
         "not read"},
        {[](ModelFile& f) { f.doc["meshes"][0]["primitives"][0]["attributes"].erase("POSITION"); },
         "m.gltf: mesh 0 primitive 0: no POSITION"},
        {[](ModelFile& f) { f.doc["nodes"][0]["mesh"] = 4; },
         "m.gltf: node 0: mesh 4 does not exist"},
        {[](ModelFile& f) { f.doc["nodes"][0]["mesh"] = 5000000000u; },
         "m.gltf: node 0: mesh 5000000000 does not exist"},
        {[](ModelFile& f) { f.doc["nodes"][0]["children"] = {-1}; },
         "m.gltf: node 0: child -1 does not exist"},
        {[](ModelFile& f) { f.doc["nodes"][0]["children"] = {7}; },
         "m.gltf: node 0: child 7 does not exist"},
        {[](ModelFile& f) { f.doc["nodes"][0]["children"] = {0}; },
         "m.gltf: node 0 is its own descendant"},
        {[](ModelFile& f) {
             f.add_node({{"children", {0}}}, false);
             f.add_node({{"children", {1}}}, false);
             f.doc["nodes"][0]["children"] = {2};
         },
         "m.gltf: node 0 is its own descendant"},
        {[](ModelFile& f) {
             f.add_node({{"children", {0}}});
             f.add_node({{"children", {0}}});
         },
         "m.gltf: node 0 is a child of both node 1 and node 2"},
        {[](ModelFile& f) { f.doc["scenes"][0]["nodes"].push_back(0); },
         "m.gltf: scene 0 reaches node 0 twice (a node listed twice, or with its ancestor)"},
        {[](ModelFile& f) {
             f.doc["nodes"][0]["matrix"] = {1e300, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
             f.add_node({{"matrix", f.doc["nodes"][0]["matrix"]}, {"children", {0}}});
             f.doc["scenes"][0]["nodes"] = {1};
         },
         "m.gltf: node 0: its transform takes vertex 0 of mesh 0 primitive 0 beyond the range "
         "of a double"},
    };
    for (const auto& c : cases) {
        ModelFile file = single_triangle();
        c.damage(file);
        EXPECT_EQ(error_of(file.text()), c.message);
    }
}

TEST(SceneGltfDamage, RefusesWhatTheLibraryWouldMisread) {
    ModelFile file = single_triangle();
    // Without a URI, the library would hand the binary chunk to every buffer.
    EXPECT_EQ(error_of(file.glb({{{"byteLength", 4}}}), true),
              "m.gltf: buffer 1 has no URI, and only buffer 0 is the file's binary chunk");
    EXPECT_EQ(error_of(file.glb({{{"byteLength", 0}, {"uri", "empty.bin"}}}), true),
              "m.gltf: buffer 1 is of 0 bytes");
    // What the library finds itself comes in the same one line.
    file.doc.erase("asset");
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: \"asset\" object not found in .gltf or not an object type");
}

TEST(SceneGltfDamage, RefusesNestingDeeperThanAnyModelNeeds) {
    ModelFile file = single_triangle();
    file.doc["extras"] = json::parse(std::string(100, '[') + std::string(100, ']'));
    const std::string message = error_of(file.text());
    EXPECT_EQ(message.rfind("m.gltf: line 1, column ", 0), 0u) << message;
    EXPECT_NE(message.find(": nested more than 64 levels deep"), std::string::npos) << message;
}

TEST(SceneGltfDamage, RefusesANonFinitePosition) {
    ModelFile file;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    file.mesh_node({{"attributes", {{"POSITION", file.positions({0, 0, 0, nan, 0, 0, 0, 1, 0})}}}});
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: mesh 0 primitive 0: POSITION accessor 0: vertex 1 is not finite");
}

TEST(SceneGltfDamage, CountsTrianglesOfEveryNodeAgainstTheLimit) {
    ModelFile file = single_triangle();
    file.add_node({{"mesh", 0}});  // the same mesh, placed twice
    EXPECT_EQ(parse(file.text(), 2).mesh.triangles.size(), 2u);
    EXPECT_EQ(thrown_text<SceneError>([&] { parse(file.text(), 1); }),
              "m.gltf: 2 triangles, more than the 1 that the scene's other meshes leave of "
              "2000000");
}

}  // namespace
