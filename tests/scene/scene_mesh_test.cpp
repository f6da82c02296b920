// Triangle meshes: OBJ files read into scene coordinates, every way such a file can be wrong and
// the one line that says so, mesh objects in scene files, and what a ray sees of a triangle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "byte_damage.h"
#include "host/scene/obj_mesh.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_parser.h"
#include "host/scene/shape_intersection.h"
#include "host/scene/tracer.h"
#include "temporary_folder.h"

namespace {

using namespace tmhost;
using tonemix_test::ByteDamage;

const char kSquare[] = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";

std::string obj_error(const std::string& text, const MeshTransform& transform = {}) {
    try {
        parse_obj_mesh(text, "m.obj", transform);
    } catch (const SceneError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(SceneMeshFile, EveryFaultNamesTheFileAndLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"v 1 x 3\n", "m.obj: line 1: expected a finite decimal number, got \"x\""},
        {"# c\nv 1 2\n", "m.obj: line 2: expected 3, 4 or 6 numbers, got 2 fields"},
        {"v 1 2 3 4 5\n", "m.obj: line 1: expected 3, 4 or 6 numbers, got 5"},
        {"v nan 0 0\n", "m.obj: line 1: expected a finite decimal number, got \"nan\""},
        {"v 0 -inf 0\n", "m.obj: line 1: expected a finite decimal number, got \"-inf\""},
        {"v 0 0 1e400\n", "m.obj: line 1: number out of range: \"1e400\""},
        {"v 0 0 0x10\n", "m.obj: line 1: expected a finite decimal number, got \"0x10\""},
        {"vn 0 1\n", "m.obj: line 1: expected 3 numbers, got 2 fields"},
        {"v 0 0 0\nv 1 0 0\nf 1 2\n", "m.obj: line 3: a face needs at least 3 corners"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n",
         "m.obj: line 4: vertex index 9 out of range (3 vertices)"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n",
         "m.obj: line 4: vertex index 0 (indices count from 1)"},
        {"v 0 0 0\nv 1 0 0\nf -1 -2 -3\nv 0 1 0\n",
         "m.obj: line 3: vertex index -3 out of range (2 before this line)"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//1 3//2\n",
         "m.obj: line 5: normal index 2 out of range (1 normals)"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/ 2 3\n", "m.obj: line 4: malformed face corner \"1/\""},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3a\n",
         "m.obj: line 4: expected a vertex index, got \"3a\""},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1/1/1 2 3\n",
         "m.obj: line 4: malformed face corner \"1/1/1/1\""},
        {"v 0 0 0\nbogus 1 2\n", "m.obj: line 2: unknown statement \"bogus\""},
        // Some other file: named for what it is not, and nothing of its content is shown.
        {"root:x:0:0:root:/root:/bin/bash\nv 0 0 0\n", "m.obj: not a Wavefront OBJ file"},
        {"# a comment first\n\n\x7f"
         "ELF\x01\x01\x01\n",
         "m.obj: not a Wavefront OBJ file"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\n", "m.obj: no faces"},
        {"", "m.obj: no faces"},
        // Degenerate triangles are left out; a file of nothing else has nothing to show.
        {"v 0 0 0\nv 1 1 1\nv 2 2 2\nf 1 2 3\n", "m.obj: no triangles of non-zero area"},
        {"v 0 0 0\nv 1 0 0\nf 1 1 2\nf 2 2 2\n", "m.obj: no triangles of non-zero area"},
        // Windows line ends and old Mac ones count lines as Unix ones do.
        {"v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 4\r\n",
         "m.obj: line 4: vertex index 4 out of range (3 vertices)"},
        {"v 0 0 0\rv 1 0 0\r\rv 0 1 0\rf 1 2 4\r",
         "m.obj: line 5: vertex index 4 out of range (3 vertices)"},
    };
    for (const auto& c : cases) EXPECT_EQ(obj_error(c.text), c.message) << c.text;
    EXPECT_EQ(obj_error(std::string("v 0 0 0\nv 1 0 0\0 0\n", 20)), "m.obj: line 2: a NUL byte");
    // A face of more corners than the loader counts.
    std::string wide = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf";
    for (int i = 0; i < 65537; ++i) wide += " 1";
    EXPECT_EQ(obj_error(wide + "\n"), "m.obj: line 4: a face of more than 65536 corners");
    // Finite in the file, beyond the coordinate limit once scaled.
    MeshTransform huge;
    huge.scale = {1e10, 1e10, 1e10};
    EXPECT_EQ(obj_error("v 0 0 0\nv 1e9 0 0\nv 0 1 0\nf 1 2 3\n", huge),
              "m.obj: line 2: vertex beyond 1e18 once transformed");
    // A sound triangle too small for its area to be told from zero once scaled down, or too
    // small beside a far translate: the transform's fault, not the file's.
    MeshTransform tiny;
    tiny.scale = {1e-200, 1e-200, 1e-200};
    EXPECT_EQ(obj_error("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", tiny),
              "the transform leaves triangle (vertices 1, 2, 3) of m.obj line 4 without area");
    MeshTransform far;
    far.translate = {1e18, 0, 0};
    EXPECT_EQ(obj_error("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", far),
              "the transform leaves triangle (vertices 1, 2, 3) of m.obj line 4 without area");
    // Without area in the file itself: left out as the file's, whatever the transform.
    EXPECT_EQ(obj_error("v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\n", tiny),
              "m.obj: no triangles of non-zero area");
    EXPECT_EQ(obj_error(kSquare), "(no error)");
}

TEST(SceneMeshFile, DamagedFilesGiveAMeshOrOneLine) {
    // A cube with normals, its bytes replaced, dropped or doubled at random: whatever comes out is
    // a sound mesh or one line naming the file, never a crash (the sanitizer build runs this too).
    const std::string cube =
        "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
        "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n"
        "f 1//1 4//1 3//1 2//1\nf 5//2 6//2 7//2 8//2\nf 1//3 2//3 6//3 5//3\n"
        "f 4//4 8//4 7//4 3//4\nf -8//5 -4//5 -1//5 -5//5\nf 2//6 3//6 7//6 6//6\n";
    ASSERT_EQ(parse_obj_mesh(cube, "m.obj", {})->triangles.size(), 12u);
    const std::string alphabet = "0123456789 -+./\n\r#evfnai\t";
    ByteDamage damage(12345, alphabet);
    int meshes = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = damage.damaged(cube, 4);
        try {
            const auto mesh = parse_obj_mesh(text, "m.obj", {});
            ++meshes;
            for (const MeshTriangle& t : mesh->triangles) {
                EXPECT_TRUE(is_finite(t.corner) && is_finite(t.edge1) && is_finite(t.edge2));
                EXPECT_GT(length(cross(t.edge1, t.edge2)), 0.0);
                for (const int n : t.normals) {
                    EXPECT_LT(n, static_cast<int>(mesh->normals.size()));
                    // A triangle names only normals that have a direction.
                    if (n >= 0) {
                        EXPECT_NEAR(length(mesh->normals[static_cast<std::size_t>(n)]), 1.0, 1e-15);
                    }
                }
            }
        } catch (const SceneError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("m.obj: ", 0), 0u) << message;
            EXPECT_EQ(message.find_first_of("\n\r"), std::string::npos) << message;
            // The check of the lines and the loader must read every text alike.
            EXPECT_EQ(message.find("otherwise than its check"), std::string::npos) << text;
        }
    }
    // Both outcomes must be common, or the damage proves little.
    EXPECT_GT(meshes, 100);
    EXPECT_LT(meshes, 2700);
}

TEST(SceneMeshFile, TrianglesBeyondTheScenesLimitAreRefusedBeforeTheyAreBuilt) {
    // Faces of 255 corners, 253 triangles each, up to one face past the limit.
    std::string face = "f";
    for (int i = 0; i < 255; ++i) face += " 1";
    std::string text = "v 0 0 0\n";
    const std::size_t faces = kMaxSceneTriangles / 253 + 1;
    for (std::size_t i = 0; i < faces; ++i) text += face + "\n";
    EXPECT_EQ(obj_error(text), "m.obj: " + std::to_string(faces * 253) +
                                   " triangles, more than a scene's meshes may hold (2000000)");
    // What other meshes of the scene have left.
    try {
        parse_obj_mesh(kSquare, "m.obj", {}, 1);
        FAIL() << "no error";
    } catch (const SceneError& error) {
        EXPECT_STREQ(error.what(),
                     "m.obj: 2 triangles, more than the 1 that the scene's other meshes leave of "
                     "2000000");
    }
    EXPECT_EQ(parse_obj_mesh(kSquare, "m.obj", {}, 2)->triangles.size(), 2u);
}

TEST(SceneMeshFile, MissingFileIsOneLine) {
    TemporaryFolder folder;
    const std::string path = (folder.path() / "absent.obj").string();
    try {
        load_obj_mesh(path, {});
        FAIL() << "no error";
    } catch (const SceneError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(path + ": cannot read: ", 0), 0u) << error.what();
    }
}

TEST(SceneMeshFile, CommentsGroupsAndMaterialsAreLeftOut) {
    const auto mesh = parse_obj_mesh(
        "# a square\nmtllib none.mtl\no square\ng top\nusemtl red\ns 1\nv 0 0 0\nv 1 0 0\n"
        "vt 0 0\nv 1 1 0\nv 0 1 0\n  f 1/1 2/1 3/1 4/1\n",
        "m.obj", {});
    ASSERT_EQ(mesh->triangles.size(), 2u);
    EXPECT_TRUE(mesh->normals.empty());
    EXPECT_EQ(mesh->triangles[0].normals[0], -1);
}

TEST(SceneMeshFile, LinesPointsAndWeightsAreLeftOutWhateverTheyHold) {
    // They carry nothing a mesh is made of: an index of 0 or a negative joint in them refuses no
    // file and changes no triangle.
    const auto mesh =
        parse_obj_mesh(std::string(kSquare) + "l 1 0\np x\nvw 0 -1 0.5\n", "m.obj", {});
    const auto plain = parse_obj_mesh(kSquare, "m.obj", {});
    ASSERT_EQ(mesh->triangles.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(mesh->triangles[i].corner, plain->triangles[i].corner);
        EXPECT_EQ(mesh->triangles[i].edge1, plain->triangles[i].edge1);
        EXPECT_EQ(mesh->triangles[i].edge2, plain->triangles[i].edge2);
    }
}

TEST(SceneMeshFile, CoordinatesKeepTheValuesEveryMeshWasMadeWith) {
    // The digits summed in double arithmetic, then scaled by the power of ten: for all but the
    // last of these one bit away from the nearest double, which strtod would give. The example
    // meshes' reference renders were made with such values.
    const auto mesh = parse_obj_mesh(
        "v 0.3 -0.5257 0.8507\nv 1.2296 7E-1 -2.5e-3\nv 0 0 1\n"
        "f 1 2 3\nf 2 3 1\n",
        "m.obj", {});
    ASSERT_EQ(mesh->triangles.size(), 2u);
    const Vec3& first = mesh->triangles[0].corner;
    EXPECT_EQ(first.x, 0x1.3333333333334p-2);
    EXPECT_EQ(first.y, -0x1.0d288ce703afcp-1);
    EXPECT_EQ(first.z, 0x1.b38ef34d6a163p-1);
    const Vec3& second = mesh->triangles[1].corner;
    EXPECT_EQ(second.x, 0x1.3ac710cb295e9p+0);
    EXPECT_EQ(second.y, 0x1.6666666666667p-1);
    EXPECT_EQ(second.z, -0x1.47ae147ae147bp-9);
}

TEST(SceneMeshFile, TransformScalesTurnsAndMovesInThatOrder) {
    // Quarter turns give exact coordinates: x -> y about z, y -> z about x, z -> x about y.
    MeshTransform transform;
    transform.scale = {2, 3, 4};
    transform.rotate_degrees = {0, 0, 90};
    transform.translate = {10, 20, 30};
    const auto mesh = parse_obj_mesh("v 1 1 1\nv 2 1 1\nv 1 2 1\nvn 1 1 0\nf 1//1 2//1 3//1\n",
                                     "m.obj", transform);
    const MeshTriangle& t = mesh->triangles.at(0);
    // (1, 1, 1) scaled (2, 3, 4), turned about z: (-3, 2, 4), moved.
    EXPECT_EQ(t.corner.x, 7.0);
    EXPECT_EQ(t.corner.y, 22.0);
    EXPECT_EQ(t.corner.z, 34.0);
    EXPECT_EQ(t.edge1.x, 0.0);  // (2, 0, 0) turned
    EXPECT_EQ(t.edge1.y, 2.0);
    EXPECT_EQ(t.edge2.x, -3.0);  // (0, 3, 0) turned
    EXPECT_EQ(t.edge2.y, 0.0);
    // The normal follows the inverse scale: (1/2, 1/3, 0), turned to (-1/3, 1/2, 0), unit.
    const double n = std::sqrt(1.0 / 9 + 1.0 / 4);
    EXPECT_NEAR(mesh->normals[0].x, -1.0 / 3 / n, 1e-15);
    EXPECT_NEAR(mesh->normals[0].y, 0.5 / n, 1e-15);
    EXPECT_EQ(mesh->normals[0].z, 0.0);

    MeshTransform about_x;
    about_x.rotate_degrees = {90, 0, 0};
    const auto turned_x = parse_obj_mesh(kSquare, "m.obj", about_x);
    EXPECT_EQ(turned_x->triangles[0].edge2.y, 0.0);  // (1, 1, 0) -> (1, 0, 1)
    EXPECT_EQ(turned_x->triangles[0].edge2.z, 1.0);
    MeshTransform about_y;
    about_y.rotate_degrees = {0, -270, 0};  // the same as +90
    const auto turned_y = parse_obj_mesh(kSquare, "m.obj", about_y);
    EXPECT_EQ(turned_y->triangles[0].edge1.x, 0.0);  // (1, 0, 0) -> (0, 0, -1)
    EXPECT_EQ(turned_y->triangles[0].edge1.z, -1.0);
    // Thirty degrees, by the series: sin 30 = 1/2 to the last bit or so.
    MeshTransform thirty;
    thirty.rotate_degrees = {0, 0, 30};
    const auto turned = parse_obj_mesh(kSquare, "m.obj", thirty);
    EXPECT_NEAR(turned->triangles[0].edge1.y, 0.5, 1e-16);
    EXPECT_NEAR(turned->triangles[0].edge1.x, std::sqrt(3.0) / 2, 1e-16);
}

TEST(SceneMeshHits, VertexNormalsAreInterpolatedAndFaceTheRay) {
    // Normals tilted toward +x at the first corner, +y at the second, straight up at the third.
    const auto mesh = parse_obj_mesh(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 1 0 1\nvn 0 1 1\nvn 0 0 1\nf 1//1 2//2 3//3\n", "m.obj", {});
    // At u = v = 1/4 the weights are 1/2, 1/4, 1/4.
    const Ray down{{0.25, 0.25, 2}, {0, 0, -1}};
    const auto hit = intersect_triangle(*mesh, 0, down, 1e-9, 1e9);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->t, 2.0);
    const double s = 1.0 / std::sqrt(2.0);
    const Vec3 blend{0.5 * s, 0.25 * s, 0.5 * s + 0.25 * s + 0.25};
    const double len = std::sqrt(dot(blend, blend));
    EXPECT_NEAR(hit->normal.x, blend.x / len, 1e-15);
    EXPECT_NEAR(hit->normal.y, blend.y / len, 1e-15);
    EXPECT_NEAR(hit->normal.z, blend.z / len, 1e-15);
    // Seen from below, the tracer turns it toward the ray.
    Scene scene;
    scene.objects.push_back({"m", Mesh{mesh}, {}});
    const Tracer tracer(scene);
    const auto below = tracer.nearest_hit({{0.25, 0.25, -3}, {0, 0, 1}});
    ASSERT_TRUE(below);
    EXPECT_LT(below->normal.z, 0.0);
    EXPECT_EQ(below->distance, 3.0);
    // Outside the triangle, past its long edge.
    EXPECT_FALSE(tracer.nearest_hit({{0.6, 0.6, 2}, {0, 0, -1}}));
    // In its plane: no hit.
    EXPECT_FALSE(intersect_triangle(*mesh, 0, {{-1, 0.2, 0}, {1, 0, 0}}, 1e-9, 1e9));
}

TEST(SceneMeshHits, WithoutNormalsTheFaceNormalIsUsed) {
    const auto mesh = parse_obj_mesh("v 0 0 0\nv 0 0 1\nv 0 1 0\nf 1 2 3\n", "m.obj", {});
    const auto hit = intersect_triangle(*mesh, 0, {{5, 0.2, 0.2}, {-1, 0, 0}}, 1e-9, 1e9);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->t, 5.0);
    EXPECT_EQ(hit->normal.x, -1.0);  // (0, 0, 1) x (0, 1, 0)
    EXPECT_EQ(hit->normal.y, 0.0);
    EXPECT_EQ(hit->normal.z, 0.0);
}

TEST(SceneMeshObjects, FoundBesideTheSceneFileWithTheirTransform) {
    TemporaryFolder folder;
    folder.write("shapes/square.obj", kSquare);
    const std::string scene_text =
        R"({"camera": {"position": [0, 0, 5], "target": [0, 0, 0], "fov": 40},
            "objects": [{"type": "mesh", "name": "sq", "file": "shapes/square.obj",
                         "scale": [2, 1, 1], "rotate": [0, 0, 0], "translate": [0, 0, -1],
                         "colour": [0.5, 0.5, 0.5]}]})";
    const std::string scene_path = folder.write("scene.json", scene_text).string();
    const Scene scene = load_scene_file(scene_path);
    ASSERT_EQ(scene.objects.size(), 1u);
    const MeshData& mesh = *std::get<Mesh>(scene.objects[0].shape).data;
    ASSERT_EQ(mesh.triangles.size(), 2u);
    EXPECT_EQ(mesh.triangles[0].edge1.x, 2.0);
    EXPECT_EQ(mesh.triangles[0].corner.z, -1.0);
    EXPECT_EQ(scene.objects[0].colour[0], 0.5f);

    const auto error_of = [&](const std::string& object) {
        const std::string text =
            R"({"camera": {"position": [0, 0, 5], "target": [0, 0, 0], "fov": 40}, "objects": [)" +
            object + "]}";
        const std::string path = folder.write("bad.json", text).string();
        try {
            load_scene_file(path);
        } catch (const SceneError& error) {
            const std::string message = error.what();
            return message.substr(0, path.size()) == path ? message.substr(path.size())
                                                          : "wrong file: " + message;
        }
        return std::string("(no error)");
    };
    folder.write("shapes/broken.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 5\n");
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": "shapes/broken.obj"})"),
              ": objects[0].file: " + (folder.path() / "shapes/broken.obj").string() +
                  ": line 4: vertex index 5 out of range (3 vertices)");
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": "shapes/square.obj", "scale": 0})"),
              ": objects[0].scale: must be greater than 0");
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": "shapes/square.obj",
                          "scale": [1, -1, 1]})"),
              ": objects[0].scale: must be greater than 0");
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": "shapes/square.obj",
                          "scale": "big"})"),
              ": objects[0].scale: expected a number or an array of 3 numbers");
    // A sound file whose triangles the transform leaves without area: the object is blamed.
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": "shapes/square.obj",
                          "scale": 1e-300})"),
              ": objects[0]: the transform leaves triangle (vertices 1, 2, 3) of " +
                  (folder.path() / "shapes/square.obj").string() +
                  " line 5 without area (its scale, rotate and translate)");
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": ""})"),
              ": objects[0].file: must not be empty");
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b"})"), ": objects[0]: missing \"file\"");
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": "shapes/square.obj",
                          "rotate": 90})"),
              ": objects[0].rotate: expected an array of 3 numbers");
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": "shapes/square.obj",
                          "spin": 1})"),
              ": objects[0]: unknown key \"spin\" (expected one of: type, name, colour, file, "
              "translate, scale, rotate)");
    // An absolute path is taken as it is.
    EXPECT_EQ(error_of(R"({"type": "mesh", "name": "b", "file": ")" +
                       (folder.path() / "shapes/square.obj").generic_string() + "\"}"),
              "(no error)");
}

}  // namespace
