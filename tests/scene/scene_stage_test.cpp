// Model files on the stage: a camera that frames any model's size, the stage's floor and its
// three named lights, a z-up stage, the values of the shader's reach, and the scene text that
// reads back to the very scene; and a camera turned, zoomed and panned as a viewer's mouse does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "host/scene/camera_rays.h"
#include "host/scene/camera_view.h"
#include "host/scene/model_stage.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_parser.h"
#include "model_writers.h"
#include "temporary_folder.h"
#include "thrown_text.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

using namespace tmhost;
using tonemix_test::thrown_text;

const StageReach kReach{"distance", "offset"};

// An axis-aligned box of side `side` with its low corner at `low`, as OBJ text.
std::string cube_obj(double side, const Vec3& low) {
    std::string text;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 p{low.x + (corner & 1 ? side : 0.0), low.y + (corner & 2 ? side : 0.0),
                     low.z + (corner & 4 ? side : 0.0)};
        char line[160];
        std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", p.x, p.y, p.z);
        text += line;
    }
    return text + "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
}

// The share of the image's height between the highest and the lowest of the points as the
// camera sees them (a 4:3 image).
double height_share(const Camera& camera, const std::vector<Vec3>& points) {
    const Vec3 forward = normalize(camera.target - camera.position);
    const Vec3 right = normalize(cross(forward, camera.up));
    const Vec3 up = cross(right, forward);
    const double half = std::tan(camera.fov_degrees * 0.5 * kPi / 180.0);
    double lowest = 1e300;
    double highest = -1e300;
    for (const Vec3& p : points) {
        const Vec3 d = p - camera.position;
        const double y = dot(d, up) / dot(d, forward) / half;  // -1 to 1 across the height
        const double x = dot(d, right) / dot(d, forward) / half / (640.0 / 480.0);
        EXPECT_LT(std::fabs(x), 1.0);  // and inside the width
        lowest = std::min(lowest, y);
        highest = std::max(highest, y);
    }
    return (highest - lowest) / 2.0;
}

std::vector<Vec3> cube_corners(double side, const Vec3& low) {
    std::vector<Vec3> corners;
    for (int corner = 0; corner < 8; ++corner) {
        corners.push_back({low.x + (corner & 1 ? side : 0.0), low.y + (corner & 2 ? side : 0.0),
                           low.z + (corner & 4 ? side : 0.0)});
    }
    return corners;
}

TEST(SceneStage, TheCameraFramesModelsOfEverySize) {
    TemporaryFolder folder;
    for (const double side : {0.001, 1.0, 1000.0}) {
        // Away from the origin, so that framing follows the model and not the origin.
        const Vec3 low{side * 3, -side * 2, side * 7};
        const std::string path = folder.write("cube.obj", cube_obj(side, low)).string();
        const StagedModel staged = stage_model(path, {}, kReach);
        const double share = height_share(staged.scene.camera, cube_corners(side, low));
        EXPECT_GT(share, 0.3) << side;
        EXPECT_LT(share, 0.9) << side;
        // Looking at the middle of the model from above.
        const Vec3 middle = low + Vec3{side, side, side} * 0.5;
        EXPECT_NEAR(length(staged.scene.camera.target - middle), 0.0, side * 1e-12);
        EXPECT_GT(staged.scene.camera.position.y, middle.y);
        EXPECT_NEAR(staged.size, side * std::sqrt(3.0), side * 1e-9);
        EXPECT_FALSE(staged.own_camera);
        EXPECT_FALSE(staged.own_lights);
    }
}

TEST(SceneStage, AFloorUnderTheModelAndThreeNamedLights) {
    TemporaryFolder folder;
    const std::string path = folder.write("crate.obj", cube_obj(1.0, {0, 0, 0})).string();
    const StagedModel staged = stage_model(path, {}, kReach);
    const Scene& scene = staged.scene;
    ASSERT_EQ(scene.objects.size(), 2u);
    EXPECT_EQ(scene.objects[0].name, "crate");
    EXPECT_EQ(scene.objects[1].name, "floor");
    const Plane& floor = std::get<Plane>(scene.objects[1].shape);
    EXPECT_EQ(floor.normal, (Vec3{0, 1, 0}));
    EXPECT_LT(floor.point.y, 0.0);  // just below the lowest point
    EXPECT_GT(floor.point.y, -0.01);
    ASSERT_EQ(scene.lights.size(), 3u);
    EXPECT_EQ(scene.lights[0].name, "key");
    EXPECT_EQ(scene.lights[1].name, "fill");
    EXPECT_EQ(scene.lights[2].name, "rim");
    for (const Light& light : scene.lights) {
        EXPECT_GT(light.position.y, 0.0) << light.name;  // every light above the floor
        EXPECT_EQ(light.falloff, Falloff::none);
    }
    // The key lights from the camera's side, the rim from behind the model.
    const Vec3 center{0.5, 0.5, 0.5};
    const Vec3 toward = scene.camera.position - center;
    EXPECT_GT(dot(scene.lights[0].position - center, toward), 0.0);
    EXPECT_LT(dot(scene.lights[2].position - center, toward), 0.0);
    EXPECT_EQ(scene.width, 640);
    EXPECT_EQ(scene.height, 480);
}

TEST(SceneStage, AZUpModelStandsOnTheXyPlane) {
    TemporaryFolder folder;
    const std::string path = folder.write("part.obj", cube_obj(2.0, {0, 0, 0})).string();
    StageOptions options;
    options.up = UpAxis::z;
    const StagedModel staged = stage_model(path, options, kReach);
    EXPECT_EQ(staged.scene.camera.up, (Vec3{0, 0, 1}));
    EXPECT_GT(staged.scene.camera.position.z, 1.0);
    EXPECT_LT(staged.scene.camera.position.y, 1.0);  // seen from the front, -y
    const Plane& floor = std::get<Plane>(staged.scene.objects[1].shape);
    EXPECT_EQ(floor.normal, (Vec3{0, 0, 1}));
    EXPECT_LT(floor.point.z, 0.0);
    const double share = height_share(staged.scene.camera, cube_corners(2.0, {0, 0, 0}));
    EXPECT_GT(share, 0.3);
    EXPECT_LT(share, 0.9);
}

TEST(SceneStage, TheReachFollowsTheModelsSizeInTwoDigits) {
    TemporaryFolder folder;
    // A unit cube: size sqrt(3) = 1.732..., distance 0.4 of it, offset 0.015 of it.
    const std::string unit = folder.write("unit.obj", cube_obj(1.0, {0, 0, 0})).string();
    const StagedModel staged = stage_model(unit, {}, kReach);
    EXPECT_NE(staged.text.find(R"("shader": { "distance": 0.69, "offset": 0.026 })"),
              std::string::npos)
        << staged.text;
    EXPECT_EQ(staged.distance, 0.69);
    EXPECT_EQ(staged.offset, 0.026);
    EXPECT_EQ(staged.scene.shader["distance"], 0.69);
    // 1000 units: 692.8 and 25.98; a thousandth: 0.0006928 and 0.00002598.
    const std::string big = folder.write("big.obj", cube_obj(1000.0, {0, 0, 0})).string();
    EXPECT_NE(stage_model(big, {}, kReach).text.find(R"("distance": 690, "offset": 26 })"),
              std::string::npos);
    const std::string small = folder.write("small.obj", cube_obj(0.001, {0, 0, 0})).string();
    EXPECT_NE(
        stage_model(small, {}, kReach).text.find(R"("distance": 0.00069, "offset": 0.000026 })"),
        std::string::npos);
}

TEST(SceneStage, TwoDigitsThatRoundUpGainADigit) {
    TemporaryFolder folder;
    // Size 2.4898...: a distance of 0.99593 is "1", not "1.0" nor "0.100".
    const std::string path = folder.write("m.obj", cube_obj(1.4375, {0, 0, 0})).string();
    const std::string text = stage_model(path, {}, kReach).text;
    EXPECT_NE(text.find(R"("shader": { "distance": 1, "offset": 0.037 })"), std::string::npos)
        << text;
    // A path that is no UTF-8 text cannot be named in the scene's text.
    EXPECT_EQ(thrown_text<SceneError>([&] { stage_model("m\xff.obj", {}, kReach); }),
              "m\xff.obj: a model's path must be UTF-8 text to be named in a scene");
}

TEST(SceneStage, TheTextReadsBackToTheSameScene) {
    TemporaryFolder folder;
    const std::string path = folder.write("m.obj", cube_obj(0.37, {1.1, 0.2, -3.3})).string();
    const StagedModel staged = stage_model(path, {}, kReach);
    const Scene read = parse_scene(staged.text);
    EXPECT_EQ(read.camera.position, staged.scene.camera.position);
    EXPECT_EQ(read.camera.target, staged.scene.camera.target);
    ASSERT_EQ(read.lights.size(), staged.scene.lights.size());
    for (std::size_t i = 0; i < read.lights.size(); ++i) {
        EXPECT_EQ(read.lights[i].position, staged.scene.lights[i].position);
    }
    EXPECT_EQ(std::get<Plane>(read.objects[1].shape).point,
              std::get<Plane>(staged.scene.objects[1].shape).point);
    EXPECT_EQ(read.mesh_files, (std::vector<std::string>{path}));
}

TEST(SceneStage, ACameraIndexTheFileDoesNotHaveIsOneLine) {
    TemporaryFolder folder;
    const std::string path = folder.write("m.obj", cube_obj(1.0, {0, 0, 0})).string();
    StageOptions options;
    options.camera_index = 0;
    try {
        stage_model(path, options, kReach);
        FAIL() << "no error";
    } catch (const SceneError& error) {
        EXPECT_EQ(std::string(error.what()),
                  path + ": no camera 0 (the file has 0 cameras, counted from 0)");
    }
}

TEST(SceneStage, AGltfFileShowsItselfWithItsOwnCameraAndLights) {
    tonemix_test::TestMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.triangles = {{0, 1, 2}};
    const std::string bytes = tonemix_test::gltf_buffer(mesh);
    const std::string gltf =
        R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1,2]}],)"
        R"("extensionsUsed":["KHR_lights_punctual"],)"
        R"("extensions":{"KHR_lights_punctual":{"lights":[)"
        R"({"type":"point","name":"lamp","color":[1,0.5,0.25],"intensity":2,"range":10}]}},)"
        R"("nodes":[{"mesh":0},{"camera":0,"translation":[0,0,5]},)"
        R"({"extensions":{"KHR_lights_punctual":{"light":0}},"translation":[1,2,3]}],)"
        R"("cameras":[{"type":"perspective","perspective":{"yfov":0.5,"znear":0.1}}],)"
        R"("meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}],)"
        R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",)"
        R"("min":[0,0,0],"max":[1,1,0]},{"bufferView":1,"componentType":5125,"count":3,)"
        R"("type":"SCALAR"}],"bufferViews":[{"buffer":0,"byteLength":36},)"
        R"({"buffer":0,"byteOffset":36,"byteLength":12}],)"
        R"("buffers":[{"byteLength":48,"uri":"data:application/octet-stream;base64,)" +
        tonemix_test::base64(bytes) + R"("}]})";
    TemporaryFolder folder;
    const std::string path = folder.write("lit.gltf", gltf).string();
    const StagedModel staged = stage_model(path, {}, kReach);
    EXPECT_TRUE(staged.own_camera);
    EXPECT_TRUE(staged.own_lights);
    const Scene& scene = staged.scene;
    EXPECT_EQ(scene.camera.position, (Vec3{0, 0, 5}));
    EXPECT_NEAR(scene.camera.fov_degrees, 0.5 * 180 / kPi, 1e-12);
    ASSERT_EQ(scene.objects.size(), 1u);  // no floor: the file brings its own scene
    ASSERT_EQ(scene.lights.size(), 1u);
    EXPECT_EQ(scene.lights[0].name, "lamp");
    EXPECT_EQ(scene.lights[0].position, (Vec3{1, 2, 3}));
    EXPECT_EQ(scene.lights[0].falloff, Falloff::inverse_square);
    EXPECT_EQ(scene.lights[0].range, 10.0);
    EXPECT_EQ(scene.lights[0].colour, (Colour{1.0f, 0.5f, 0.25f}));
    EXPECT_EQ(parse_scene(staged.text).lights[0].range, 10.0);
    // The file has one camera: index 0 is it, index 1 is none.
    StageOptions second;
    second.camera_index = 1;
    EXPECT_THROW(stage_model(path, second, kReach), SceneError);
}

Camera straight_on() {
    Camera camera;
    camera.position = {0, 0, 5};
    camera.target = {0, 0, 0};
    camera.fov_degrees = 90;
    return camera;
}

TEST(SceneCameraView, OrbitTurnsAboutTheTargetAndStopsShortOfThePole) {
    const Camera camera = straight_on();
    CameraView view;
    EXPECT_EQ(viewed_camera(camera, view).position, camera.position);
    // A quarter turn: the camera moves to its right, to +x, exactly.
    view.azimuth = 90;
    EXPECT_EQ(viewed_camera(camera, view).position, (Vec3{5, 0, 0}));
    view.azimuth = 0;
    view.elevation = 30;
    const Vec3 raised = viewed_camera(camera, view).position;
    EXPECT_NEAR(raised.y, 2.5, 1e-12);
    EXPECT_NEAR(raised.z, 5 * std::sqrt(3.0) / 2, 1e-12);
    EXPECT_EQ(raised.x, 0.0);
    // Past the pole in one go, or in several steps: held at 89 degrees, never over the top.
    for (const double elevation : {120.0, 180.0}) {
        view.elevation = elevation;
        const Vec3 top = viewed_camera(camera, view).position;
        EXPECT_NEAR(top.y, 5 * std::sin(89 * kPi / 180), 1e-12) << elevation;
        EXPECT_GT(top.z, 0.0) << elevation;
    }
    view.elevation = -180;
    EXPECT_LT(viewed_camera(camera, view).position.y, -4.99);
    // The target stays.
    EXPECT_EQ(viewed_camera(camera, view).target, camera.target);
}

TEST(SceneCameraView, ZoomAndPanMoveTheCameraByTheView) {
    const Camera camera = straight_on();
    CameraView view;
    view.zoom = 2;
    EXPECT_EQ(viewed_camera(camera, view).position, (Vec3{0, 0, 2.5}));
    // With a 90 degree view the view is 10 high at the target's distance of 5: half a height to
    // the right moves both by 5.
    view.zoom = 1;
    view.pan_right = 0.5;
    view.pan_up = -0.1;
    const Camera panned = viewed_camera(camera, view);
    EXPECT_NEAR(panned.position.x, 5.0, 1e-12);
    EXPECT_NEAR(panned.position.y, -1.0, 1e-12);
    EXPECT_NEAR(panned.target.x, 5.0, 1e-12);
    EXPECT_NEAR(panned.target.y, -1.0, 1e-12);
    EXPECT_EQ(panned.position.z, 5.0);
    EXPECT_EQ(panned.target.z, 0.0);
}

}  // namespace
