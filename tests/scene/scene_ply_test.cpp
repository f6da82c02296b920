// PLY meshes: one square read alike from text and from binary in both byte orders, every numeric
// type, fans, what is read past, and every way such a file can be wrong and the one line that
// says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "byte_damage.h"
#include "host/scene/ply_mesh.h"
#include "host/scene/scene_error.h"

namespace {

using namespace tmhost;
using tonemix_test::ByteDamage;

std::string ply_error(const std::string& bytes, std::size_t max_triangles = kMaxSceneTriangles) {
    try {
        parse_ply_mesh(bytes, "m.ply", max_triangles);
    } catch (const SceneError& error) {
        return error.what();
    }
    return "(no error)";
}

// Binary values in either byte order, from the test machine's own (little-endian) bytes.
struct Writer {
    bool big = false;
    std::string bytes;

    template <class T>
    Writer& put(T value) {
        char b[sizeof(T)];
        std::memcpy(b, &value, sizeof b);
        if (big) std::reverse(b, b + sizeof b);
        bytes.append(b, sizeof b);
        return *this;
    }
};

const char kSquareHeader[] =
    "element vertex 4\n"
    "property float x\nproperty float y\nproperty float z\n"
    "property float nx\nproperty float ny\nproperty float nz\n"
    "property uchar red\nproperty uchar green\nproperty uchar blue\n"
    "element face 1\n"
    "property list uchar int vertex_indices\n"
    "end_header\n";

// Lines 17 to 20 are the vertices and 21 the face.
const std::string kSquareText = std::string("ply\nformat ascii 1.0\ncomment a unit square\n") +
                                kSquareHeader +
                                "0 0 0 0 0 1 255 0 0\n"
                                "1 0 0 0 0.5 1 0 255 0\n"
                                "1 1 0 -0.25 0 1 0 0 255\n"
                                "0 1 0 0 0 -2 51 102 204\n"
                                "4 0 1 2 3\n";

std::string square_binary(bool big) {
    Writer w{big, std::string("ply\r\nformat ") +
                      (big ? "binary_big_endian" : "binary_little_endian") +
                      " 1.0\r\ncomment a unit square\r\n"};
    w.bytes += kSquareHeader;
    const float v[4][6] = {
        {0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0.5f, 1}, {1, 1, 0, -0.25f, 0, 1}, {0, 1, 0, 0, 0, -2}};
    const std::uint8_t c[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {51, 102, 204}};
    for (int i = 0; i < 4; ++i) {
        for (const float f : v[i]) w.put(f);
        for (const std::uint8_t b : c[i]) w.put(b);
    }
    w.put(std::uint8_t{4}).put(0).put(1).put(2).put(3);
    return w.bytes;
}

void expect_square(const MeshSource& mesh) {
    const std::vector<Vec3> positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const std::vector<Vec3> normals = {{0, 0, 1}, {0, 0.5, 1}, {-0.25, 0, 1}, {0, 0, -2}};
    const std::vector<Colour> colours = {
        {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.2f, 0.4f, 0.8f}};
    EXPECT_EQ(mesh.positions, positions);
    EXPECT_EQ(mesh.normals, normals);
    EXPECT_EQ(mesh.colours, colours);
    ASSERT_EQ(mesh.triangles.size(), 2u);
    const int expected[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int t = 0; t < 2; ++t) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(mesh.triangles[t][k].position, static_cast<std::uint32_t>(expected[t][k]));
            EXPECT_EQ(mesh.triangles[t][k].normal, expected[t][k]);  // a normal per vertex
        }
    }
}

TEST(ScenePlyMesh, OneSquareInEveryFormat) {
    const MeshSource text = parse_ply_mesh(kSquareText, "m.ply", kMaxSceneTriangles);
    expect_square(text);
    EXPECT_STREQ(text.origin_kind, "line");
    EXPECT_EQ(text.origins, (std::vector<std::uint32_t>{21, 21}));
    EXPECT_EQ(text.position_origins, (std::vector<std::uint32_t>{17, 18, 19, 20}));
    for (const bool big : {false, true}) {
        const MeshSource binary = parse_ply_mesh(square_binary(big), "m.ply", kMaxSceneTriangles);
        expect_square(binary);
        EXPECT_STREQ(binary.origin_kind, "face");
        EXPECT_EQ(binary.origins, (std::vector<std::uint32_t>{1, 1}));
        EXPECT_EQ(binary.position_origins, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    }
    // Without normals or colours, corners name no normal.
    const MeshSource bare = parse_ply_mesh(
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty double x\nproperty double y\n"
        "property double z\nelement face 1\nproperty list uchar uint vertex_index\nend_header\n"
        "0 0 0\n1 0 0\n0 1 0\n3 2 1 0\n",
        "m.ply", kMaxSceneTriangles);
    EXPECT_TRUE(bare.normals.empty());
    EXPECT_TRUE(bare.colours.empty());
    ASSERT_EQ(bare.triangles.size(), 1u);
    EXPECT_EQ(bare.triangles[0][0].position, 2u);
    EXPECT_EQ(bare.triangles[0][2].position, 0u);
    EXPECT_EQ(bare.triangles[0][0].normal, -1);
}

// x of the named type from its little-endian bytes, y and z float.
std::string one_x(const std::string& type, const std::string& x_bytes, bool big) {
    Writer w{big, std::string("ply\nformat ") +
                      (big ? "binary_big_endian" : "binary_little_endian") +
                      " 1.0\nelement vertex 3\nproperty " + type +
                      " x\nproperty float y\nproperty float z\nelement face 1\n"
                      "property list uchar uchar vertex_indices\nend_header\n"};
    for (int i = 0; i < 3; ++i) {
        std::string x = x_bytes;
        if (big) std::reverse(x.begin(), x.end());
        w.bytes += x;
        w.put(0.0f).put(0.0f);
    }
    w.put(std::uint8_t{3}).put(std::uint8_t{0}).put(std::uint8_t{1}).put(std::uint8_t{2});
    return w.bytes;
}

TEST(ScenePlyMesh, EveryNumericTypeByItsBytes) {
    const struct {
        const char* types[2];
        std::string bytes;  // little-endian
        double value;
    } cases[] = {
        {{"char", "int8"}, std::string("\xfb", 1), -5},
        {{"uchar", "uint8"}, std::string("\xc8", 1), 200},
        {{"short", "int16"}, std::string("\xd4\xfe", 2), -300},
        {{"ushort", "uint16"}, std::string("\x60\xea", 2), 60000},
        {{"int", "int32"}, std::string("\x90\xee\xfe\xff", 4), -70000},
        {{"uint", "uint32"}, std::string("\x00\x28\x6b\xee", 4), 4000000000.0},
        {{"float", "float32"}, std::string("\x00\x00\xc0\x3f", 4), 1.5},
        {{"double", "float64"}, std::string("\x9a\x99\x99\x99\x99\x99\xb9\x3f", 8), 0.1},
    };
    for (const auto& c : cases) {
        for (const char* type : c.types) {
            for (const bool big : {false, true}) {
                const MeshSource mesh =
                    parse_ply_mesh(one_x(type, c.bytes, big), "m.ply", kMaxSceneTriangles);
                ASSERT_EQ(mesh.positions.size(), 3u) << type;
                EXPECT_EQ(mesh.positions[2].x, c.value) << type << (big ? " big" : " little");
            }
        }
    }
    // The same values written as text.
    const MeshSource text = parse_ply_mesh(
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty char x\nproperty uint y\n"
        "property double z\nelement face 1\nproperty list uchar uchar vertex_indices\n"
        "end_header\n-5 4000000000 0.1\n0 0 0\n0 0 0\n3 0 1 2\n",
        "m.ply", kMaxSceneTriangles);
    EXPECT_EQ(text.positions[0].x, -5);
    EXPECT_EQ(text.positions[0].y, 4000000000.0);
    EXPECT_EQ(text.positions[0].z, 0.1);
}

TEST(ScenePlyMesh, ColoursOfEveryKindAndListsOfEveryIntegerType) {
    // ushort over 65535, float as it is, double rounded to float; alpha left out. Faces counted
    // by a big-endian ushort, indexed by shorts.
    Writer w{true,
             "ply\nformat binary_big_endian 1.0\nelement vertex 3\nproperty float x\n"
             "property float y\nproperty float z\nproperty ushort red\nproperty float green\n"
             "property double blue\nproperty uchar alpha\nelement face 1\n"
             "property list ushort short vertex_indices\nend_header\n"};
    const float xyz[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    for (const auto& p : xyz) {
        for (const float f : p) w.put(f);
        w.put(std::uint16_t{65535}).put(0.25f).put(0.75).put(std::uint8_t{7});
    }
    w.put(std::uint16_t{3}).put(std::int16_t{0}).put(std::int16_t{1}).put(std::int16_t{2});
    const MeshSource mesh = parse_ply_mesh(w.bytes, "m.ply", kMaxSceneTriangles);
    ASSERT_EQ(mesh.colours.size(), 3u);
    EXPECT_EQ(mesh.colours[1], (Colour{1.0f, 0.25f, 0.75f}));
    ASSERT_EQ(mesh.triangles.size(), 1u);
    EXPECT_EQ(mesh.triangles[0][1].position, 1u);
}

TEST(ScenePlyMesh, PolygonsBecomeFansFromTheirFirstCorner) {
    const MeshSource mesh = parse_ply_mesh(
        "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\n"
        "property float z\nelement face 2\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0\n1 0 0\n2 1 0\n1 2 0\n0 1 0\n5 4 3 2 1 0\n3 0 1 2\n",
        "m.ply", kMaxSceneTriangles);
    const std::uint32_t expected[4][3] = {{4, 3, 2}, {4, 2, 1}, {4, 1, 0}, {0, 1, 2}};
    ASSERT_EQ(mesh.triangles.size(), 4u);
    for (int t = 0; t < 4; ++t) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(mesh.triangles[t][k].position, expected[t][k]);
    }
    EXPECT_EQ(mesh.origins, (std::vector<std::uint32_t>{15, 15, 15, 16}));

    // The widest face there may be, and one corner more.
    const auto wide = [](std::int32_t corners) {
        Writer w{false,
                 "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
                 "property float y\nproperty float z\nelement face 1\n"
                 "property list int uchar vertex_indices\nend_header\n"};
        for (int i = 0; i < 9; ++i) w.put(static_cast<float>(i));
        w.put(corners);
        for (std::int32_t i = 0; i < corners; ++i) w.put(static_cast<std::uint8_t>(i % 3));
        return w.bytes;
    };
    EXPECT_EQ(parse_ply_mesh(wide(65536), "m.ply", kMaxSceneTriangles).triangles.size(), 65534u);
    EXPECT_EQ(ply_error(wide(65537)), "m.ply: face 1: a face of more than 65536 corners");
}

TEST(ScenePlyMesh, OtherElementsAndPropertiesAreReadPast) {
    // The square again, between elements and properties of no use to a mesh.
    const std::string header =
        "element material 2\nproperty uchar ambient\nproperty list uchar float coefficients\n"
        "element vertex 4\nproperty float x\nproperty float confidence\nproperty float y\n"
        "property list ushort uint tags\nproperty float z\nproperty float nx\n"
        "property float ny\nproperty float nz\nproperty uchar red\nproperty uchar green\n"
        "property uchar blue\nproperty uchar alpha\n"
        "element face 1\nproperty int flags\nproperty list uchar int vertex_indices\n"
        "property list uchar float texcoord\n"
        "element edge 1\nproperty int vertex1\nproperty int vertex2\n"
        "element empty 4000000000\n"
        "end_header\n";
    const MeshSource text = parse_ply_mesh("ply\nformat ascii 1.0\n" + header +
                                               "1 2 0.5 0.25\n"
                                               "2 0\n"
                                               "0 9 0 0 0 0 0 1 255 0 0 7\n"
                                               "1 9 0 2 5 6 0 0 0.5 1 0 255 0 7\n"
                                               "1 9 1 1 6 0 -0.25 0 1 0 0 255 7\n"
                                               "0 9 1 0 0 0 0 -2 51 102 204 7\n"
                                               "-1 4 0 1 2 3 2 0.5 0.5\n"
                                               "0 1\n",
                                           "m.ply", kMaxSceneTriangles);
    expect_square(text);
    EXPECT_EQ(text.origins, (std::vector<std::uint32_t>{34, 34}));
    for (const bool big : {false, true}) {
        Writer w{big, std::string("ply\nformat ") +
                          (big ? "binary_big_endian" : "binary_little_endian") + " 1.0\n" + header};
        w.put(std::uint8_t{1}).put(std::uint8_t{2}).put(0.5f).put(0.25f);
        w.put(std::uint8_t{2}).put(std::uint8_t{0});
        const float v[4][6] = {{0, 0, 0, 0, 0, 1},
                               {1, 0, 0, 0, 0.5f, 1},
                               {1, 1, 0, -0.25f, 0, 1},
                               {0, 1, 0, 0, 0, -2}};
        const std::uint8_t c[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {51, 102, 204}};
        for (int i = 0; i < 4; ++i) {
            w.put(v[i][0]).put(9.0f).put(v[i][1]);
            w.put(std::uint16_t(i == 1 ? 2 : 0));
            if (i == 1) w.put(5u).put(6u);
            for (int k = 2; k < 6; ++k) w.put(v[i][k]);
            for (const std::uint8_t b : c[i]) w.put(b);
            w.put(std::uint8_t{7});
        }
        w.put(-1).put(std::uint8_t{4}).put(0).put(1).put(2).put(3);
        w.put(std::uint8_t{2}).put(0.5f).put(0.5f);
        w.put(0).put(1);
        expect_square(parse_ply_mesh(w.bytes, "m.ply", kMaxSceneTriangles));
    }
}

const std::string kTextHead =
    "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
    "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";

TEST(ScenePlyMesh, EveryFaultOfAHeaderOrATextBodyNamesItsLine) {
    std::string kTwoFaces = kTextHead;
    kTwoFaces.replace(kTwoFaces.find("face 1"), 6, "face 2");
    const std::string v3 = "0 0 0\n1 0 0\n0 1 0\n";  // lines 10 to 12; a face on line 13
    const struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        // Some other file: named for what it is not, and nothing of its content is shown.
        {"", "m.ply: not a PLY file"},
        {"root:x:0:0:root:/root:/bin/bash\n", "m.ply: not a PLY file"},
        {"plyx\nformat ascii 1.0\n", "m.ply: not a PLY file"},
        {std::string("\x7f"
                     "ELF\x01\x01\x01\0\0",
                     9),
         "m.ply: not a PLY file"},
        {"ply\n", "m.ply: line 1: the file ends within the header"},
        {"ply\nformat ascii 1.0\nelement vertex 3\n",
         "m.ply: line 3: the file ends within the header"},
        {"ply\nformat binary_middle_endian 1.0\n",
         "m.ply: line 2: unknown format \"binary_middle_endian\""},
        {"ply\nformat ascii 2.0\n", "m.ply: line 2: unknown format version \"2.0\""},
        {"ply\nformat ascii\n", "m.ply: line 2: expected \"format <kind> 1.0\""},
        {"ply\nformat ascii 1.0\nformat ascii 1.0\n", "m.ply: line 3: a second format line"},
        {"ply\nelement face 0\nend_header\n", "m.ply: line 3: end_header without a format line"},
        {"ply\nformat ascii 1.0\nvertex 3\n", "m.ply: line 3: unknown header line \"vertex\""},
        {"ply\nroot:x:0:0:root:/root:/bin/bash\n", "m.ply: not a PLY file"},
        {"ply\nformat ascii 1.0\nproperty float x\n",
         "m.ply: line 3: a property before any element"},
        {"ply\nformat ascii 1.0\nelement vertex\n",
         "m.ply: line 3: expected \"element <name> <count>\""},
        {"ply\nformat ascii 1.0\nelement vertex -1\n",
         "m.ply: line 3: expected an element count, got \"-1\""},
        {"ply\nformat ascii 1.0\nelement vertex 4294967296\n",
         "m.ply: line 3: element count \"4294967296\" out of range"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nelement vertex 1\n",
         "m.ply: line 4: a second element \"vertex\""},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty vec3 x\n",
         "m.ply: line 4: unknown property type \"vec3\""},
        {"ply\nformat ascii 1.0\nelement face 1\nproperty list float int vertex_indices\n",
         "m.ply: line 4: list count of type float (an integer type expected)"},
        {"ply\nformat ascii 1.0\nelement face 1\nproperty list uchar vertex_indices\n",
         "m.ply: line 4: expected \"property <type> <name>\" or \"property list <count type> "
         "<type> <name>\""},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float x\n",
         "m.ply: line 5: a second property \"x\" in element vertex"},
        {"ply\nformat ascii 1.0\nend_header extra\n",
         "m.ply: line 3: expected \"end_header\" alone"},
        // What a mesh needs of the elements.
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float nx\nend_header\n",
         "m.ply: line 3: element vertex without x, y and z"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float "
         "y\nend_header\n",
         "m.ply: line 3: element vertex has x but no z"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\n"
         "property float z\nproperty float ny\nend_header\n",
         "m.ply: line 3: element vertex has ny but no nx"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty list uchar float x\nproperty float y\n"
         "property float z\nend_header\n",
         "m.ply: line 3: element vertex: x is a list"},
        {"ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\n"
         "property float z\nproperty int red\nproperty int green\nproperty int blue\nend_header\n",
         "m.ply: line 3: element vertex: colour red of type int (uchar, ushort, float or double "
         "expected)"},
        {"ply\nformat ascii 1.0\nelement face 1\nproperty list uchar int vertex_list\nend_header\n",
         "m.ply: line 3: element face without a vertex_indices list"},
        {"ply\nformat ascii 1.0\nelement face 1\nproperty int vertex_indices\nend_header\n",
         "m.ply: line 3: element face: vertex_indices is not a list"},
        {"ply\nformat ascii 1.0\nelement face 1\nproperty list uchar float "
         "vertex_index\nend_header\n",
         "m.ply: line 3: element face: vertex_index of type float (an integer type expected)"},
        {"ply\nformat ascii 1.0\nelement face 1\nproperty list uchar int vertex_index\n"
         "property list uchar int vertex_indices\nend_header\n",
         "m.ply: line 3: element face has both vertex_indices and vertex_index"},
        {"ply\nformat ascii 1.0\nelement vertex 0\nproperty float x\nproperty float y\n"
         "property float z\nend_header\n",
         "m.ply: no faces"},
        {"ply\nformat ascii 1.0\nelement face 0\nproperty list uchar int vertex_indices\n"
         "end_header\n",
         "m.ply: no faces"},
        // Counts the text cannot hold, refused before anything is read or reserved.
        {"ply\nformat ascii 1.0\nelement vertex 4000000000\nproperty float x\nproperty float y\n"
         "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
         "0 0 0\n",
         "m.ply: line 3: element vertex: 4000000000 of them do not fit in the 6 bytes after the "
         "header"},
        // The body.
        {kTextHead + "0 0 0\n1 nan 0\n0 1 0\n3 0 1 2\n",
         "m.ply: line 11: expected a finite decimal number, got \"nan\""},
        {kTextHead + "0 0 0\n1 0 -inf\n0 1 0\n3 0 1 2\n",
         "m.ply: line 11: expected a finite decimal number, got \"-inf\""},
        {kTextHead + "0 0 0\n1 0 1e400\n0 1 0\n3 0 1 2\n",
         "m.ply: line 11: number out of range: \"1e400\""},
        {kTextHead + "0 0 0\n1 0\n0 1 0\n3 0 1 2\n",
         "m.ply: line 11: too few values for element vertex"},
        {kTextHead + "0 0 0\n1 0 0 0\n0 1 0\n3 0 1 2\n",
         "m.ply: line 11: more values than the properties of element vertex"},
        {kTextHead + v3 + "3 0 1 3\n", "m.ply: line 13: vertex index 3 out of range (3 vertices)"},
        {kTextHead + v3 + "3 0 -1 2\n", "m.ply: line 13: negative vertex index -1"},
        {kTextHead + v3 + "3 0 1 x\n", "m.ply: line 13: expected a vertex index, got \"x\""},
        {kTextHead + v3 + "3 0 1\n", "m.ply: line 13: too few values for element face"},
        {kTextHead + v3 + "2 0 1\n", "m.ply: line 13: a face needs at least 3 corners"},
        {kTextHead + v3 + "65537 0 1 2\n", "m.ply: line 13: a face of more than 65536 corners"},
        {kTextHead + v3 + "-3 0 1 2\n", "m.ply: line 13: negative list count -3"},
        {kTextHead + v3 + "3 0 1 2 5\n",
         "m.ply: line 13: more values than the properties of element face"},
        {kTwoFaces + v3 + "3 0 1 2\n",
         "m.ply: line 13: the file ends within element face (1 of 2 read)"},
        {kTextHead + v3 + "3 0 1 2\n\n4 0 1 2 0\n",
         "m.ply: line 15: more lines than the header's elements"},
        {"ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
         "property float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
         "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
         "0 0 0 0 0 0\n1 0 0 256 0 0\n0 1 0 0 0 0\n3 0 1 2\n",
         "m.ply: line 14: 256 out of range for uchar"},
    };
    for (const auto& c : cases) EXPECT_EQ(ply_error(c.bytes), c.message) << c.bytes;
    // Blank lines and CR LF line ends count as lines too.
    EXPECT_EQ(ply_error("ply\r\nformat ascii 1.0\r\n\r\nelement vertex 1\r\nproperty bad x\r\n"),
              "m.ply: line 5: unknown property type \"bad\"");
}

// The square's header and its body cut at `size` bytes, or given another count.
std::string binary_square(const std::string& vertex_count, const std::string& face_count) {
    std::string bytes = square_binary(false);
    const std::string from = "element vertex 4\n";
    bytes.replace(bytes.find(from), from.size(), "element vertex " + vertex_count + "\n");
    const std::string face = "element face 1\n";
    bytes.replace(bytes.find(face), face.size(), "element face " + face_count + "\n");
    return bytes;
}

TEST(ScenePlyMesh, EveryFaultOfABinaryBodyNamesItsVertexOrFace) {
    const std::string square = square_binary(false);
    const std::size_t body = square.size() - 4 * 27 - 17;  // 27 bytes a vertex, 17 the face
    // Cut short: the header's counts alone tell, where every instance has one size.
    EXPECT_EQ(ply_error(square.substr(0, body + 2 * 27 + 5)),
              "m.ply: line 4: element vertex: 4 of them do not fit in the 59 bytes after the "
              "header");
    EXPECT_EQ(ply_error(square.substr(0, body + 4 * 27)),
              "m.ply: line 14: element face: 1 of them do not fit in the 108 bytes after the "
              "header");
    // Where a face's list says more than its least size.
    EXPECT_EQ(ply_error(square.substr(0, body + 4 * 27 + 16)),
              "m.ply: face 1: the file ends within it");
    // Vertices after the faces, whose lists took more than the header could tell.
    Writer faces_first{false,
                       "ply\nformat binary_little_endian 1.0\nelement face 1\n"
                       "property list uchar int vertex_indices\nelement vertex 4\n"
                       "property float x\nproperty float y\nproperty float z\nend_header\n"};
    faces_first.put(std::uint8_t{4}).put(0).put(1).put(2).put(3);
    for (int i = 0; i < 12; ++i) faces_first.put(static_cast<float>(i % 3 == 0 ? i : 0));
    EXPECT_EQ(parse_ply_mesh(faces_first.bytes, "m.ply", kMaxSceneTriangles).positions[3].x, 9.0);
    faces_first.bytes.resize(faces_first.bytes.size() - 10);
    EXPECT_EQ(ply_error(faces_first.bytes), "m.ply: vertex 4: the file ends within it");

    // Counts far past the bytes, near 2^32 where a 32-bit size would wrap: refused before
    // anything is reserved (a vector of 4 billion vertices cannot even be asked for here).
    EXPECT_EQ(ply_error(binary_square("4294967295", "1")),
              "m.ply: line 4: element vertex: 4294967295 of them do not fit in the 125 bytes after "
              "the header");
    EXPECT_EQ(ply_error(binary_square("4", "4294967295")),
              "m.ply: line 14: element face: 4294967295 of them do not fit in the 125 bytes after "
              "the header");
    // Within the bytes, as far as the header can tell: the faces' lists say otherwise.
    EXPECT_EQ(ply_error(binary_square("4", "2")), "m.ply: face 2: the file ends within it");

    // A file of some 160 bytes claiming 4 billion vertices of 12 bytes each, and faces.
    const std::string claim =
        "ply\nformat binary_big_endian 1.0\nelement vertex 4000000000\nproperty float x\n"
        "property float y\nproperty float z\nelement face 3\n"
        "property list uint int vertex_indices\nend_header\n" +
        std::string(20, '\0');
    EXPECT_EQ(ply_error(claim),
              "m.ply: line 3: element vertex: 4000000000 of them do not fit in the 20 bytes after "
              "the header");

    // Values: each fault names the vertex or the face, counting from 1.
    const auto with = [&square, body](std::size_t at, const std::string& bytes) {
        std::string damaged = square;
        damaged.replace(body + at, bytes.size(), bytes);
        return ply_error(damaged);
    };
    const std::string nan("\x00\x00\xc0\x7f", 4);
    const std::string inf("\x00\x00\x80\xff", 4);
    EXPECT_EQ(with(27 + 4, nan), "m.ply: vertex 2: y is not finite");
    EXPECT_EQ(with(3 * 27 + 8, inf), "m.ply: vertex 4: z is not finite");
    EXPECT_EQ(with(2 * 27 + 20, inf), "m.ply: vertex 3: nz is not finite");
    EXPECT_EQ(with(4 * 27 + 1 + 8, std::string("\x84\x03\x00\x00", 4)),
              "m.ply: face 1: vertex index 900 out of range (4 vertices)");
    EXPECT_EQ(with(4 * 27 + 1 + 12, std::string("\xff\xff\xff\xff", 4)),
              "m.ply: face 1: negative vertex index -1");
    EXPECT_EQ(with(4 * 27, std::string("\x02", 1)),
              "m.ply: face 1: a face needs at least 3 corners");

    // A double colour beyond what a float holds.
    Writer w{false,
             "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
             "property float y\nproperty float z\nproperty double red\nproperty double green\n"
             "property double blue\nelement face 1\nproperty list uchar int vertex_indices\n"
             "end_header\n"};
    for (int i = 0; i < 3; ++i) w.put(0.0f).put(0.0f).put(0.0f).put(1e300).put(0.0).put(0.0);
    w.put(std::uint8_t{3}).put(0).put(1).put(2);
    EXPECT_EQ(ply_error(w.bytes), "m.ply: vertex 1: red out of range");
}

TEST(ScenePlyMesh, TrianglesBeyondTheScenesLimitAreRefusedBeforeTheyAreBuilt) {
    // 31 faces of 65536 corners, 65534 triangles each: one face past the limit.
    Writer w{false,
             "ply\nformat binary_little_endian 1.0\nelement vertex 1\nproperty float x\n"
             "property float y\nproperty float z\nelement face 31\n"
             "property list int uchar vertex_indices\nend_header\n"};
    w.put(0.0f).put(0.0f).put(0.0f);
    for (int f = 0; f < 31; ++f) {
        w.put(65536);
        w.bytes.append(65536, '\0');
    }
    EXPECT_EQ(ply_error(w.bytes),
              "m.ply: 2031554 triangles, more than a scene's meshes may hold (2000000)");
    EXPECT_EQ(ply_error(square_binary(true), 1),
              "m.ply: 2 triangles, more than the 1 that the scene's other meshes leave of 2000000");
    // A text file is counted to its end.
    EXPECT_EQ(ply_error(kTextHead.substr(0, kTextHead.find("face 1")) + "face 3" +
                            kTextHead.substr(kTextHead.find("face 1") + 6) +
                            "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n4 0 1 2 0\n3 2 1 0\n",
                        3),
              "m.ply: 4 triangles, more than the 3 that the scene's other meshes leave of 2000000");
    EXPECT_EQ(parse_ply_mesh(kSquareText, "m.ply", 2).triangles.size(), 2u);
}

TEST(ScenePlyMesh, DamagedFilesGiveAMeshOrOneLine) {
    // The square in each format, its bytes replaced, dropped or doubled at random: whatever comes
    // out is a sound mesh or one line naming the file, never a crash (the sanitizer build runs
    // this too).
    ByteDamage damage(2024);
    int meshes = 0;
    int errors = 0;
    for (const std::string& original : {kSquareText, square_binary(false), square_binary(true)}) {
        for (int round = 0; round < 1500; ++round) {
            const std::string bytes = damage.damaged(original, 3);
            try {
                const MeshSource mesh = parse_ply_mesh(bytes, "m.ply", kMaxSceneTriangles);
                ++meshes;
                EXPECT_EQ(mesh.position_origins.size(), mesh.positions.size());
                EXPECT_EQ(mesh.origins.size(), mesh.triangles.size());
                EXPECT_TRUE(mesh.colours.empty() || mesh.colours.size() == mesh.positions.size());
                for (const Vec3& p : mesh.positions) EXPECT_TRUE(is_finite(p));
                for (const auto& t : mesh.triangles) {
                    for (const MeshCorner& c : t) {
                        EXPECT_LT(c.position, mesh.positions.size());
                        EXPECT_LT(c.normal, static_cast<std::int32_t>(mesh.normals.size()));
                    }
                }
            } catch (const SceneError& error) {
                ++errors;
                const std::string message = error.what();
                EXPECT_EQ(message.rfind("m.ply: ", 0), 0u) << message;
                EXPECT_EQ(message.find_first_of("\n\r"), std::string::npos) << message;
            }
        }
    }
    EXPECT_GT(meshes, 100);
    EXPECT_GT(errors, 1000);
}

}  // namespace
