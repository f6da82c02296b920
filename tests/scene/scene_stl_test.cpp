// STL meshes: text with several solids, binary by its bytes, binary files that open with "solid"
// as text does, and every way such a file can be wrong and the one line that says so.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "byte_damage.h"
#include "host/scene/scene_error.h"
#include "host/scene/stl_mesh.h"

namespace {

using namespace tmhost;
using tonemix_test::ByteDamage;

std::string stl_error(const std::string& bytes, std::size_t max_triangles = kMaxSceneTriangles) {
    try {
        parse_stl_mesh(bytes, "m.stl", max_triangles);
    } catch (const SceneError& error) {
        return error.what();
    }
    return "(no error)";
}

// Two solids, three facets; the normals are zero, wrong or not numbers at all, and not used.
const char kText[] =
    "solid first\n"               // 1
    "  facet normal 0 0 1\n"      // 2
    "    outer loop\n"            // 3
    "      vertex 0 0 0\n"        // 4
    "      vertex 1 0 0\n"        // 5
    "      vertex 0 1 0\n"        // 6
    "    endloop\n"               // 7
    "  endfacet\n"                // 8
    "  facet normal 0 0 0\n"      // 9
    "    outer loop\n"            // 10
    "      vertex 1 0 0\n"        // 11
    "      vertex 1 1 0\n"        // 12
    "      vertex 0 1 0.5\n"      // 13
    "    endloop\n"               // 14
    "  endfacet\n"                // 15
    "endsolid first\n"            // 16
    "\n"                          // 17
    "solid\n"                     // 18
    "facet normal nan nan nan\n"  // 19
    "outer loop\n"                // 20
    "vertex -1.5 2 3e2\n"         // 21
    "vertex 0 0 -0.125\n"         // 22
    "vertex 4\t5 6\n"             // 23
    "endloop\n"                   // 24
    "endfacet\n"                  // 25
    "endsolid second\n";          // 26

const std::vector<Vec3> kTextPositions = {{0, 0, 0},      {1, 0, 0},      {0, 1, 0},
                                          {1, 0, 0},      {1, 1, 0},      {0, 1, 0.5},
                                          {-1.5, 2, 300}, {0, 0, -0.125}, {4, 5, 6}};

void expect_fans_of_three(const MeshSource& mesh, std::size_t triangles) {
    ASSERT_EQ(mesh.triangles.size(), triangles);
    for (std::size_t t = 0; t < triangles; ++t) {
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(mesh.triangles[t][k].position, 3 * t + k);
            EXPECT_EQ(mesh.triangles[t][k].normal, -1);
        }
    }
    EXPECT_TRUE(mesh.normals.empty());
    EXPECT_TRUE(mesh.colours.empty());
}

TEST(SceneStlMesh, TextWithSeveralSolids) {
    const MeshSource mesh = parse_stl_mesh(kText, "m.stl", kMaxSceneTriangles);
    EXPECT_EQ(mesh.positions, kTextPositions);
    expect_fans_of_three(mesh, 3);
    EXPECT_STREQ(mesh.origin_kind, "line");
    EXPECT_EQ(mesh.origins, (std::vector<std::uint32_t>{2, 9, 19}));
    EXPECT_EQ(mesh.position_origins, (std::vector<std::uint32_t>{4, 5, 6, 11, 12, 13, 21, 22, 23}));
    // Windows line ends count lines alike.
    std::string crlf;
    for (const char c : std::string(kText))
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const MeshSource windows = parse_stl_mesh(crlf, "m.stl", kMaxSceneTriangles);
    EXPECT_EQ(windows.positions, kTextPositions);
    EXPECT_EQ(windows.origins, mesh.origins);
}

// 80 bytes of header starting with `header`, the count, then each triangle: a normal, three
// vertices, an attribute.
std::string binary(const std::string& header, std::uint32_t count,
                   const std::vector<std::vector<float>>& triangles) {
    std::string bytes = header;
    bytes.resize(80, ' ');
    const auto put = [&bytes](const void* value, std::size_t size) {
        bytes.append(static_cast<const char*>(value), size);  // the test machine is little-endian
    };
    put(&count, 4);
    for (const auto& t : triangles) {
        const float normal[3] = {0, 0, 7};  // wrong on purpose: it is not used
        put(normal, sizeof normal);
        put(t.data(), 9 * sizeof(float));
        const std::uint16_t attribute = 0x1234;
        put(&attribute, 2);
    }
    return bytes;
}

const std::vector<std::vector<float>> kTwo = {{0, 0, 0, 1, 0, 0, 0, 1, 0},
                                              {1, 0, 0, 1, 1, 0, 0, 1, 0.5f}};

TEST(SceneStlMesh, BinaryByItsBytes) {
    // The first vertex of the second triangle at x = 1.5, by its bytes.
    std::string bytes = binary("an exporter's header", 2, kTwo);
    bytes.replace(84 + 50 + 12, 4, std::string("\x00\x00\xc0\x3f", 4));
    const MeshSource mesh = parse_stl_mesh(bytes, "m.stl", kMaxSceneTriangles);
    const std::vector<Vec3> positions = {{0, 0, 0},   {1, 0, 0}, {0, 1, 0},
                                         {1.5, 0, 0}, {1, 1, 0}, {0, 1, 0.5}};
    EXPECT_EQ(mesh.positions, positions);
    expect_fans_of_three(mesh, 2);
    EXPECT_STREQ(mesh.origin_kind, "face");
    EXPECT_EQ(mesh.origins, (std::vector<std::uint32_t>{1, 2}));
}

TEST(SceneStlMesh, BinaryFilesThatOpenWithSolidAreToldBySize) {
    const std::vector<Vec3> positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0},
                                         {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5}};
    const std::string solid = binary("solid exported\nfacet normal 0 0 1\n", 2, kTwo);
    EXPECT_EQ(parse_stl_mesh(solid, "m.stl", kMaxSceneTriangles).positions, positions);
    // Padded after the triangles, with or without "solid": the padding is left alone.
    EXPECT_EQ(parse_stl_mesh(solid + std::string(7, '\0'), "m.stl", kMaxSceneTriangles).positions,
              positions);
    EXPECT_EQ(
        parse_stl_mesh(binary("x", 2, kTwo) + "padding", "m.stl", kMaxSceneTriangles).positions,
        positions);
    // Cut short, either way: named for what the count lacks.
    EXPECT_EQ(stl_error(solid.substr(0, 150)),
              "m.stl: binary STL of 2 triangles needs 184 bytes, the file has 150");
    EXPECT_EQ(stl_error(binary("x", 2, kTwo).substr(0, 183)),
              "m.stl: binary STL of 2 triangles needs 184 bytes, the file has 183");
    // A text file longer than a binary header is never taken for one.
    EXPECT_EQ(stl_error(std::string(kText).replace(std::string(kText).find("-1.5"), 4, "nan")),
              "m.stl: line 21: expected a finite decimal number, got \"nan\"");
}

TEST(SceneStlMesh, EveryFaultOfATextFileNamesItsLine) {
    const std::string facet = "solid s\nfacet normal 0 0 1\nouter loop\n";
    const std::string three = "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n";  // lines 4 to 6
    const std::string whole = facet + three + "endloop\nendfacet\n";         // to line 8
    const struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        // Some other file: named for what it is not, and nothing of its content is shown.
        {"", "m.stl: not an STL file"},
        {"root:x:0:0:root:/root:/bin/bash\n", "m.stl: not an STL file"},
        {"solidarity forever\n", "m.stl: not an STL file"},
        {"solid state\nsecret: hunter2\nmore text\n", "m.stl: not an STL file"},
        {"solid s\nendsolid s\n", "m.stl: no triangles"},
        {"solid s\n", "m.stl: no triangles"},
        // Once it is known to be one.
        {facet + "vertex 0 0 0\nvertex 1 nan 0\n",
         "m.stl: line 5: expected a finite decimal number, got \"nan\""},
        {facet + "vertex 0 0 inf\n",
         "m.stl: line 4: expected a finite decimal number, got \"inf\""},
        {facet + "vertex 0 0 1e400\n", "m.stl: line 4: number out of range: \"1e400\""},
        // An exponent past 32 bits is out of range too, not cut down to a small number.
        {facet + "vertex 0 0 1e99999999999\n",
         "m.stl: line 4: number out of range: \"1e99999999999\""},
        {facet + "vertex 0 0 -2.5E+4294967297\n",
         "m.stl: line 4: number out of range: \"-2.5E+4294967297\""},
        {facet + "vertex 0 0\n", "m.stl: line 4: expected 3 numbers after vertex"},
        {facet + "vertex 0 0 0 1\n", "m.stl: line 4: expected 3 numbers after vertex"},
        {facet + three + "vertex 1 1 1\n", "m.stl: line 7: a facet of more than 3 vertices"},
        {facet + "vertex 0 0 0\nvertex 1 0 0\nendloop\n",
         "m.stl: line 6: a facet of 2 vertices (3 expected)"},
        {facet + three + "endfacet\n",
         "m.stl: line 7: expected \"vertex\" or \"endloop\", got \"endfacet\""},
        {facet + three + "endloop\nfacet normal 0 0 1\n",
         "m.stl: line 8: expected \"endfacet\", got \"facet\""},
        {"solid s\nfacet normal 0 0\n", "m.stl: line 2: expected 3 values after facet normal"},
        {"solid s\nfacet normal 0 0 1\nloop\n",
         "m.stl: line 3: expected \"outer loop\", got \"loop\""},
        {whole + "facet 0 0 1\n",
         "m.stl: line 9: expected \"facet normal\" or \"endsolid\", got \"facet\""},
        {whole + "endsolid\nvertex 0 0 0\n", "m.stl: line 10: expected \"solid\", got \"vertex\""},
        {whole, "m.stl: line 8: the file ends within a solid"},
        {facet + three, "m.stl: line 6: the file ends within a solid"},
    };
    for (const auto& c : cases) EXPECT_EQ(stl_error(c.bytes), c.message) << c.bytes;
    EXPECT_EQ(stl_error(whole + "endsolid\n"), "(no error)");
}

TEST(SceneStlMesh, EveryFaultOfABinaryFileNamesItsTriangle) {
    // A 100-byte file claiming 4 billion triangles, near 2^32 where a 32-bit size would wrap:
    // refused before anything is reserved.
    std::string claim = binary("x", 0xffffffffu, {});
    claim.resize(100, '\0');
    EXPECT_EQ(
        stl_error(claim),
        "m.stl: binary STL of 4294967295 triangles needs 214748364834 bytes, the file has 100");
    EXPECT_EQ(stl_error(binary("x", 0, {})), "m.stl: no triangles");
    EXPECT_EQ(stl_error(std::string(83, '\0')), "m.stl: not an STL file");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(stl_error(binary("x", 2, {kTwo[0], {1, 0, 0, 1, 1, 0, 0, nan, 0}})),
              "m.stl: triangle 2: vertex 3 is not finite");
    EXPECT_EQ(stl_error(binary("x", 2, {{-inf, 0, 0, 1, 0, 0, 0, 1, 0}, kTwo[1]})),
              "m.stl: triangle 1: vertex 1 is not finite");
    // A facet normal that is not a number is not used, so not refused.
    std::string odd_normal = binary("x", 2, kTwo);
    std::memcpy(&odd_normal[84], &nan, 4);
    EXPECT_EQ(stl_error(odd_normal), "(no error)");
}

TEST(SceneStlMesh, TrianglesBeyondTheScenesLimitAreRefusedBeforeTheyAreBuilt) {
    EXPECT_EQ(stl_error(binary("x", 2, kTwo), 1),
              "m.stl: 2 triangles, more than the 1 that the scene's other meshes leave of 2000000");
    EXPECT_EQ(stl_error(kText, 2),
              "m.stl: 3 triangles, more than the 2 that the scene's other meshes leave of 2000000");
    EXPECT_EQ(parse_stl_mesh(kText, "m.stl", 3).triangles.size(), 3u);
}

TEST(SceneStlMesh, DamagedFilesGiveAMeshOrOneLine) {
    ByteDamage damage(77);
    int meshes = 0;
    int errors = 0;
    for (const std::string& original :
         {std::string(kText), binary("solid x", 2, kTwo), binary("x", 2, kTwo)}) {
        for (int round = 0; round < 1500; ++round) {
            const std::string bytes = damage.damaged(original, 3);
            try {
                const MeshSource mesh = parse_stl_mesh(bytes, "m.stl", kMaxSceneTriangles);
                ++meshes;
                EXPECT_EQ(mesh.positions.size(), 3 * mesh.triangles.size());
                EXPECT_EQ(mesh.origins.size(), mesh.triangles.size());
                for (const Vec3& p : mesh.positions) EXPECT_TRUE(is_finite(p));
            } catch (const SceneError& error) {
                ++errors;
                const std::string message = error.what();
                EXPECT_EQ(message.rfind("m.stl: ", 0), 0u) << message;
                EXPECT_EQ(message.find_first_of("\n\r"), std::string::npos) << message;
            }
        }
    }
    EXPECT_GT(meshes, 100);
    EXPECT_GT(errors, 1000);
}

}  // namespace
