// glTF accessors as the mesh reads them: each use takes only its own types and says which it
// found, every element lies inside its view and buffer, strides are honoured, and what the
// elements hold (indices of every width, colours of every kind) is read as the file means it.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "gltf_model_file.h"
#include "host/scene/gltf_model.h"

namespace {

using namespace tmhost;
using namespace tonemix_test;

constexpr int kByte = 5120;
constexpr int kShort = 5122;
constexpr int kUnsignedInt = 5125;

Vec3 corner(const GltfModel& model, std::size_t t, std::size_t c) {
    return model.mesh.positions[model.mesh.triangles[t][c].position];
}

TEST(SceneGltfAccessors, NamesTheTypeFoundAndTheTypesTaken) {
    const std::string position = "m.gltf: mesh 0 primitive 0: POSITION accessor 0 holds ";
    const std::string vec3 = ", not VEC3 of FLOAT";
    const struct {
        const char* type;
        int component_type;
        std::string message;
    } cases[] = {
        {"SCALAR", kFloat, position + "SCALAR of FLOAT" + vec3},
        {"VEC4", kFloat, position + "VEC4 of FLOAT" + vec3},
        {"MAT2", kFloat, position + "MAT2 of FLOAT" + vec3},
        {"MAT3", kFloat, position + "MAT3 of FLOAT" + vec3},
        {"MAT4", kFloat, position + "MAT4 of FLOAT" + vec3},
        {"VEC3", kByte, position + "VEC3 of BYTE" + vec3},
        {"VEC3", kUnsignedByte, position + "VEC3 of UNSIGNED_BYTE" + vec3},
        {"VEC3", kShort, position + "VEC3 of SHORT" + vec3},
        {"VEC3", kUnsignedShort, position + "VEC3 of UNSIGNED_SHORT" + vec3},
        {"VEC3", 5124, position + "VEC3 of INT" + vec3},
        {"VEC3", kUnsignedInt, position + "VEC3 of UNSIGNED_INT" + vec3},
        {"VEC3", 5130, position + "VEC3 of DOUBLE" + vec3},
    };
    for (const auto& c : cases) {
        ModelFile file = single_triangle();
        file.doc["accessors"][0]["type"] = c.type;
        file.doc["accessors"][0]["componentType"] = c.component_type;
        EXPECT_EQ(error_of(file.text()), c.message) << c.type << " " << c.component_type;
    }

    const auto refused_attribute = [](const char* attribute, const char* type, int component) {
        ModelFile file = single_triangle();
        const int extra = file.accessor(std::string(36, '\0'), component, type, 3);
        file.doc["meshes"][0]["primitives"][0]["attributes"][attribute] = extra;
        return error_of(file.text());
    };
    EXPECT_EQ(refused_attribute("NORMAL", "VEC3", kUnsignedShort),
              "m.gltf: mesh 0 primitive 0: NORMAL accessor 1 holds VEC3 of UNSIGNED_SHORT, not "
              "VEC3 of FLOAT");
    EXPECT_EQ(refused_attribute("COLOR_0", "VEC2", kFloat),
              "m.gltf: mesh 0 primitive 0: COLOR_0 accessor 1 holds VEC2 of FLOAT, not VEC3 or "
              "VEC4 of FLOAT, UNSIGNED_BYTE or UNSIGNED_SHORT");
    EXPECT_EQ(refused_attribute("COLOR_0", "VEC4", kUnsignedInt),
              "m.gltf: mesh 0 primitive 0: COLOR_0 accessor 1 holds VEC4 of UNSIGNED_INT, not "
              "VEC3 or VEC4 of FLOAT, UNSIGNED_BYTE or UNSIGNED_SHORT");

    ModelFile file = single_triangle();
    file.doc["meshes"][0]["primitives"][0]["indices"] =
        file.accessor(bytes_of<float>({0, 1, 2}), kFloat, "SCALAR", 3);
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: mesh 0 primitive 0: indices accessor 1 holds SCALAR of FLOAT, not SCALAR "
              "of UNSIGNED_BYTE, UNSIGNED_SHORT or UNSIGNED_INT");
    file.doc["accessors"][1]["type"] = "VEC2";
    file.doc["accessors"][1]["componentType"] = kUnsignedShort;
    EXPECT_EQ(error_of(file.text()),
              "m.gltf: mesh 0 primitive 0: indices accessor 1 holds VEC2 of UNSIGNED_SHORT, not "
              "SCALAR of UNSIGNED_BYTE, UNSIGNED_SHORT or UNSIGNED_INT");
}

TEST(SceneGltfAccessors, EveryElementLiesInsideItsViewAndBuffer) {
    const struct {
        void (*damage)(ModelFile&);
        const char* message;
    } cases[] = {
        {[](ModelFile& f) { f.doc["meshes"][0]["primitives"][0]["attributes"]["POSITION"] = 5; },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 5 does not exist"},
        {[](ModelFile& f) { f.doc["accessors"][0].erase("bufferView"); },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0 has no buffer view (only zeros), "
         "which tonemix-host does not read"},
        {[](ModelFile& f) { f.doc["accessors"][0]["bufferView"] = 6; },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0: buffer view 6 does not exist"},
        {[](ModelFile& f) { f.doc["bufferViews"][0]["buffer"] = 2; },
         "m.gltf: buffer view 0: buffer 2 does not exist"},
        {[](ModelFile& f) { f.doc["bufferViews"][0]["byteOffset"] = 64; },
         "m.gltf: buffer view 0 reaches past its buffer 0"},
        {[](ModelFile& f) { f.doc["bufferViews"][0]["byteStride"] = 8; },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0: its buffer view's stride of 8 bytes "
         "is shorter than an element of 12"},
        {[](ModelFile& f) { f.doc["accessors"][0]["byteOffset"] = 40; },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0 reaches past its buffer view"},
        {[](ModelFile& f) { f.doc["bufferViews"][0]["byteLength"] = 8; },
         "m.gltf: mesh 0 primitive 0: POSITION accessor 0 reaches past its buffer view"},
        {[](ModelFile& f) {
             const int normals = f.accessor(std::string(24, '\0'), kFloat, "VEC3", 2);
             f.doc["meshes"][0]["primitives"][0]["attributes"]["NORMAL"] = normals;
         },
         "m.gltf: mesh 0 primitive 0: NORMAL accessor 1 has 2 elements, POSITION accessor 0 3"},
    };
    for (const auto& c : cases) {
        ModelFile file = single_triangle();
        c.damage(file);
        EXPECT_EQ(error_of(file.text()), c.message);
    }
}

TEST(SceneGltfAccessors, FollowsStridesAndReadsIndicesOfEveryWidth) {
    ModelFile file;
    // Positions interleaved with a float of padding: a stride of 16.
    const int view = file.view(bytes_of<float>({0, 0, 0, 9, 2, 0, 0, 9, 0, 3, 0, 9, 2, 3, 0, 9}));
    file.doc["bufferViews"][view]["byteStride"] = 16;
    file.doc["accessors"].push_back(
        {{"bufferView", view}, {"componentType", kFloat}, {"type", "VEC3"}, {"count", 4}});
    const int wide = file.accessor(bytes_of<std::uint32_t>({0, 1, 2}), kUnsignedInt, "SCALAR", 3);
    const int narrow = file.accessor(bytes_of<std::uint8_t>({1, 3, 2}), kUnsignedByte, "SCALAR", 3);
    file.mesh_node({{"indices", wide}, {"attributes", {{"POSITION", 0}}}});
    file.mesh_node({{"indices", narrow}, {"attributes", {{"POSITION", 0}}}});
    // An empty accessor makes no triangle and reads nothing, wherever it points.
    file.doc["accessors"].push_back(
        {{"bufferView", 2}, {"componentType", kUnsignedShort}, {"type", "SCALAR"}, {"count", 0}});
    const int empty = static_cast<int>(file.doc["accessors"].size()) - 1;
    file.mesh_node({{"indices", empty}, {"attributes", {{"POSITION", 0}}}});
    const GltfModel model = parse(file.text());
    ASSERT_EQ(model.mesh.triangles.size(), 2u);
    EXPECT_EQ(corner(model, 0, 0), (Vec3{0, 0, 0}));
    EXPECT_EQ(corner(model, 0, 1), (Vec3{2, 0, 0}));
    EXPECT_EQ(corner(model, 0, 2), (Vec3{0, 3, 0}));
    EXPECT_EQ(corner(model, 1, 0), (Vec3{2, 0, 0}));
    EXPECT_EQ(corner(model, 1, 1), (Vec3{2, 3, 0}));
    EXPECT_EQ(corner(model, 1, 2), (Vec3{0, 3, 0}));
    // Only the vertices a primitive uses are copied.
    EXPECT_EQ(model.mesh.positions.size(), 6u);
}

TEST(SceneGltfAccessors, CopiesOnlyTheUsedVerticesOfALargeSharedArray) {
    ModelFile file;
    std::string positions;
    for (int i = 0; i < 2000; ++i) positions += bytes_of<float>({static_cast<float>(i), 1, 0});
    file.doc["accessors"].push_back({{"bufferView", file.view(positions)},
                                     {"componentType", kFloat},
                                     {"type", "VEC3"},
                                     {"count", 2000}});
    // Out of order and one used twice, so that each corner must find its vertex's place.
    const int indices = file.accessor(bytes_of<std::uint16_t>({1999, 5, 600, 600, 5, 7}),
                                      kUnsignedShort, "SCALAR", 6);
    file.mesh_node({{"indices", indices}, {"attributes", {{"POSITION", 0}}}});
    const GltfModel model = parse(file.text());
    EXPECT_EQ(model.mesh.positions.size(), 4u);
    ASSERT_EQ(model.mesh.triangles.size(), 2u);
    EXPECT_EQ(corner(model, 0, 0), (Vec3{1999, 1, 0}));
    EXPECT_EQ(corner(model, 0, 1), (Vec3{5, 1, 0}));
    EXPECT_EQ(corner(model, 0, 2), (Vec3{600, 1, 0}));
    EXPECT_EQ(corner(model, 1, 0), (Vec3{600, 1, 0}));
    EXPECT_EQ(corner(model, 1, 1), (Vec3{5, 1, 0}));
    EXPECT_EQ(corner(model, 1, 2), (Vec3{7, 1, 0}));
    EXPECT_EQ(model.mesh.triangles[0][2].position, model.mesh.triangles[1][0].position);
}

TEST(SceneGltfAccessors, ReadsColoursOfSixteenBitsAndFloats) {
    ModelFile file;
    const int shorts =
        file.accessor(bytes_of<std::uint16_t>({65535, 0, 13107, 0, 65535, 0, 0, 0, 65535}),
                      kUnsignedShort, "VEC3", 3);
    file.mesh_node(
        {{"attributes",
          {{"POSITION", file.positions({0, 0, 0, 1, 0, 0, 0, 1, 0})}, {"COLOR_0", shorts}}}});
    const int floats =
        file.accessor(bytes_of<float>({0.5f, 0.25f, 2, 0, 0, 0, 1, 1, 1}), kFloat, "VEC3", 3);
    file.mesh_node(
        {{"attributes",
          {{"POSITION", file.positions({0, 0, 1, 1, 0, 1, 0, 1, 1})}, {"COLOR_0", floats}}}});
    const GltfModel model = parse(file.text());
    ASSERT_EQ(model.mesh.colours.size(), 6u);
    const auto colour = [&](std::size_t t, std::size_t c) {
        return model.mesh.colours[model.mesh.triangles[t][c].position];
    };
    EXPECT_EQ(colour(0, 0), (Colour{1, 0, 0.2f}));
    EXPECT_EQ(colour(0, 1), (Colour{0, 1, 0}));
    EXPECT_EQ(colour(0, 2), (Colour{0, 0, 1}));
    // Floats as given, above 1 too.
    EXPECT_EQ(colour(1, 0), (Colour{0.5f, 0.25f, 2}));

    // A primitive without colours before one with: white.
    ModelFile later;
    later.mesh_node({{"attributes", {{"POSITION", later.positions({0, 0, 0, 1, 0, 0, 0, 1, 0})}}}});
    const int red = later.accessor(bytes_of<float>({1, 0, 0, 1, 0, 0, 1, 0, 0}), kFloat, "VEC3", 3);
    later.mesh_node(
        {{"attributes",
          {{"POSITION", later.positions({0, 0, 1, 1, 0, 1, 0, 1, 1})}, {"COLOR_0", red}}}});
    const GltfModel coloured = parse(later.text());
    ASSERT_EQ(coloured.mesh.colours.size(), 6u);
    EXPECT_EQ(coloured.mesh.colours[coloured.mesh.triangles[0][0].position], (Colour{1, 1, 1}));
    EXPECT_EQ(coloured.mesh.colours[coloured.mesh.triangles[1][0].position], (Colour{1, 0, 0}));
}

TEST(SceneGltfAccessors, RefusesNormalsAndColoursThatAreNotFinite) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const char* attribute : {"NORMAL", "COLOR_0"}) {
        for (std::size_t k = 0; k < 3; ++k) {
            ModelFile file = single_triangle();
            float values[9] = {0, 0, 1, 0, 0, 1, 0, 0, 1};
            values[3 + k] = k == 1 ? nan : inf;
            const int extra = file.accessor(
                bytes_of<float>({values[0], values[1], values[2], values[3], values[4], values[5],
                                 values[6], values[7], values[8]}),
                kFloat, "VEC3", 3);
            file.doc["meshes"][0]["primitives"][0]["attributes"][attribute] = extra;
            EXPECT_EQ(error_of(file.text()), std::string("m.gltf: mesh 0 primitive 0: ") +
                                                 attribute + " of vertex 1 is not finite")
                << attribute << " " << k;
        }
    }
}

}  // namespace
