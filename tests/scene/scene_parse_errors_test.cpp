// Every way a scene file can be wrong, with the one-line message that reports it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/image/whole_file.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_parser.h"

namespace {

using namespace tmhost;

const char* const kCamera =
    R"("camera": { "position": [0, 1, 5], "target": [0, 0, 0], "fov": 45 })";

std::string error_of(const std::string& text) {
    try {
        parse_scene(text);
    } catch (const SceneError& error) {
        return error.what();
    }
    return "(no error)";
}

// A scene with a valid camera and the given further members.
std::string with_camera(const std::string& members) {
    return "{" + std::string(kCamera) + (members.empty() ? "" : ", " + members) + "}";
}

TEST(SceneParseErrors, MalformedJsonGivesLineAndColumn) {
    EXPECT_EQ(error_of("{\n  \"camera\": {\n    \"fov\": 40,\n  }\n}"),
              "line 4, column 3: malformed JSON: syntax error while parsing object key - "
              "unexpected '}'; expected string literal");
    EXPECT_EQ(error_of("{\n\"a\": tru }"),
              "line 2, column 9: malformed JSON: syntax error while parsing value - invalid "
              "literal; last read: '\"a\": tru '");
    EXPECT_EQ(error_of("[1, 2"),
              "line 1, column 6: malformed JSON: syntax error while parsing array - unexpected "
              "end of input; expected ']'");
    EXPECT_EQ(error_of(""),
              "line 1, column 1: malformed JSON: syntax error while parsing value - unexpected "
              "end of input; expected '[', '{', or a literal");
    EXPECT_EQ(error_of("{}\n{}"),
              "line 2, column 1: malformed JSON: syntax error while parsing value - unexpected "
              "'{'; expected end of input");
    EXPECT_EQ(error_of("{\"a\":\n  1e400}"),
              "line 2, column 7: malformed JSON: number overflow parsing '1e400'");
}

TEST(SceneParseErrors, RepeatedKeysAreNamed) {
    EXPECT_EQ(error_of(with_camera(R"("background": [0, 0, 0], "background": [1, 1, 1])")),
              "line 1, column 96: top level: key \"background\" appears twice");
    EXPECT_EQ(error_of(R"({"camera": {"fov": 40, "fov": 50}})"),
              "line 1, column 24: camera: key \"fov\" appears twice");
    EXPECT_EQ(error_of(with_camera(R"("objects": [{}, {"radius": 1, "radius": 2}])")),
              "line 1, column 101: objects[1]: key \"radius\" appears twice");
}

TEST(SceneParseErrors, StructureAndTypes) {
    EXPECT_EQ(error_of("[]"), "top level: expected an object");
    EXPECT_EQ(error_of("{}"), "top level: missing \"camera\"");
    EXPECT_EQ(error_of(with_camera(R"("lihgts": [])")),
              "top level: unknown key \"lihgts\" (expected one of: camera, objects, lights, "
              "shader, light_list, image, background)");
    EXPECT_EQ(error_of(with_camera(R"("objects": {})")), "objects: expected an array");
    EXPECT_EQ(error_of(with_camera(R"("objects": [3])")), "objects[0]: expected an object");
    EXPECT_EQ(error_of(with_camera(R"("objects": [{"name": "a"}])")),
              "objects[0]: missing \"type\"");
    EXPECT_EQ(error_of(with_camera(R"("shader": [])")), "shader: expected an object");
    EXPECT_EQ(error_of(with_camera(R"("background": [1, 1])")),
              "background: expected an array of 3 numbers");
    EXPECT_EQ(error_of(with_camera(R"("background": [1, null, 1])")),
              "background[1]: expected a number");
}

TEST(SceneParseErrors, Camera) {
    const auto camera = [](const std::string& fields) {
        return error_of("{\"camera\": {" + fields + "}}");
    };
    EXPECT_EQ(camera(R"("position": [0, 0, 1], "target": [0, 0, 0])"), "camera: missing \"fov\"");
    EXPECT_EQ(camera(R"("position": [0, 0, 1], "target": [0, 0, 0], "fov": 45, "zoom": 2)"),
              "camera: unknown key \"zoom\" (expected one of: position, target, up, fov)");
    EXPECT_EQ(camera(R"("position": [0, 0, 1], "target": [0, 0, 0], "fov": 180)"),
              "camera.fov: expected degrees greater than 0 and less than 180");
    EXPECT_EQ(camera(R"("position": [0, 0, 1], "target": [0, 0, 0], "fov": "wide")"),
              "camera.fov: expected a number");
    EXPECT_EQ(camera(R"("position": [1, 2, 3], "target": [1, 2, 3], "fov": 45)"),
              "camera.target: the same point as the position");
    EXPECT_EQ(camera(R"("position": [0, 5, 0], "target": [0, 0, 0], "fov": 45)"),
              "camera.up: parallel to the view direction");
    EXPECT_EQ(camera(R"("position": [0, 0, 1], "target": [0, 0, 0], "up": [0, 0, 0], "fov": 45)"),
              "camera.up: must not be zero");
    EXPECT_EQ(camera(R"("position": [-1e300, 0, 0], "target": [1e300, 0, 0], "fov": 45)"),
              "camera.position[0]: expected a number from -1e18 to 1e18");
}

TEST(SceneParseErrors, CoordinatesAndRadiiBeyond1e18) {
    const auto camera = [](const std::string& position, const std::string& target) {
        return error_of("{\"camera\": {\"position\": " + position + ", \"target\": " + target +
                        ", \"fov\": 45}}");
    };
    EXPECT_EQ(camera("[0, 0, 1e18]", "[-1e18, 0, 0]"), "(no error)");
    EXPECT_EQ(camera("[0, 0, 1.0000001e18]", "[0, 0, 0]"),
              "camera.position[2]: expected a number from -1e18 to 1e18");
    EXPECT_EQ(camera("[0, 0, 1]", "[0, -2e18, 0]"),
              "camera.target[1]: expected a number from -1e18 to 1e18");

    const auto objects = [](const std::string& list) {
        return error_of(with_camera("\"objects\": [" + list + "]"));
    };
    EXPECT_EQ(objects(R"({"type": "sphere", "name": "b", "center": [-1e18, 0, 1e18],
                          "radius": 1e18})"),
              "(no error)");
    EXPECT_EQ(objects(R"({"type": "sphere", "name": "b", "center": [0, 0, 1e19], "radius": 1})"),
              "objects[0].center[2]: expected a number from -1e18 to 1e18");
    EXPECT_EQ(objects(R"({"type": "sphere", "name": "b", "center": [0, 0, 0], "radius": 1e308})"),
              "objects[0].radius: must be at most 1e18");
    EXPECT_EQ(objects(R"({"type": "plane", "name": "p", "point": [-3e18, 0, 0],
                          "normal": [0, 1, 0]})"),
              "objects[0].point[0]: expected a number from -1e18 to 1e18");
    EXPECT_EQ(objects(R"({"type": "box", "name": "x", "min": [0, -1e20, 0], "max": [1, 1, 1]})"),
              "objects[0].min[1]: expected a number from -1e18 to 1e18");
    EXPECT_EQ(objects(R"({"type": "box", "name": "x", "min": [0, 0, 0], "max": [1, 1, 1e300]})"),
              "objects[0].max[2]: expected a number from -1e18 to 1e18");
    // Directions are made unit length: their size does not enter the arithmetic.
    EXPECT_EQ(objects(R"({"type": "plane", "name": "p", "point": [0, 0, 0],
                          "normal": [0, 1e100, 0]})"),
              "(no error)");

    const auto lights = [](const std::string& list) {
        return error_of(with_camera("\"lights\": [" + list + "]"));
    };
    EXPECT_EQ(lights(R"({"name": "sun", "position": [0, 1e18, 0]})"), "(no error)");
    EXPECT_EQ(lights(R"({"name": "sun", "position": [0, 1e308, 0]})"),
              "lights[0].position[1]: expected a number from -1e18 to 1e18");
}

TEST(SceneParseErrors, LightThatWouldOverflowTheImage) {
    const auto lights = [](const std::string& list, const std::string& colour = "[1, 1, 1]") {
        return error_of(with_camera(
            R"("objects": [{"type": "sphere", "name": "ball", "center": [0, 0, 0], "radius": 1,
                            "colour": )" +
            colour + "}], \"lights\": [" + list + "]"));
    };
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "intensity": 3e38})"),
              "lights[0]: colour times intensity, with the lights before it, above 1e30");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "colour": [1, -2e30, 1]})"),
              "lights[0]: colour times intensity, with the lights before it, above 1e30");
    // The float nearest 1e30 passes, whichever factor carries it.
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "intensity": 1e30})"), "(no error)");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "colour": [1e30, 0, 0]})"),
              "(no error)");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "intensity": 1.1e30})"),
              "lights[0]: colour times intensity, with the lights before it, above 1e30");
    // Negative light takes away as much: it counts as much.
    EXPECT_EQ(lights(R"({"name": "a", "position": [0, 1, 0], "intensity": 6e29},
                        {"name": "b", "position": [0, 2, 0], "intensity": -6e29})"),
              "lights[1]: colour times intensity, with the lights before it, above 1e30");
    EXPECT_EQ(lights(R"({"name": "a", "position": [0, 1, 0], "colour": [1e15, 1, 1],
                         "intensity": 1e15})",
                     "[1, 1, 1]"),
              "(no error)");
    EXPECT_EQ(lights(R"({"name": "a", "position": [0, 1, 0], "intensity": 1e28})", "[1, 200, 1]"),
              "objects[0].colour: times the lights' summed colour times intensity, above 1e30");
    EXPECT_EQ(lights(R"({"name": "a", "position": [0, 1, 0], "intensity": 1e28})", "[1, 50, 1]"),
              "(no error)");
}

TEST(SceneParseErrors, Objects) {
    const auto objects = [](const std::string& list) {
        return error_of(with_camera("\"objects\": [" + list + "]"));
    };
    EXPECT_EQ(objects(R"({"type": "cube", "name": "c"})"),
              "objects[0].type: unknown type \"cube\" (expected sphere, plane, box or mesh)");
    EXPECT_EQ(objects(R"({"type": "sphere", "name": "b", "center": [0, 0, 0], "radus": 1})"),
              "objects[0]: unknown key \"radus\" (expected one of: type, name, colour, center, "
              "radius)");
    EXPECT_EQ(objects(R"({"type": "sphere", "name": "b", "center": [0, 0, 0]})"),
              "objects[0]: missing \"radius\"");
    EXPECT_EQ(objects(R"({"type": "sphere", "name": "b", "center": [0, 0, 0], "radius": "1"})"),
              "objects[0].radius: expected a number");
    EXPECT_EQ(objects(R"({"type": "sphere", "name": "b", "center": [0, 0, 0], "radius": -1})"),
              "objects[0].radius: must be greater than 0");
    EXPECT_EQ(objects(R"({"type": "sphere", "name": "b", "center": [0, "x", 0], "radius": 1})"),
              "objects[0].center[1]: expected a number");
    EXPECT_EQ(objects(R"({"type": "plane", "name": "p", "point": [0, 0, 0], "normal": [0, 0, 0]})"),
              "objects[0].normal: must not be zero");
    EXPECT_EQ(objects(R"({"type": "plane", "name": "p", "point": [0, 0, 0],
                          "normal": [1e-200, 0, 0]})"),
              "objects[0].normal: length out of range");
    EXPECT_EQ(objects(R"({"type": "box", "name": "x", "min": [0, 2, 0], "max": [1, 1, 1]})"),
              "objects[0].min: greater than max on the y axis");
    EXPECT_EQ(objects(R"({"type": "box", "name": "x", "min": [0, 0, 0], "max": [1, 1, 1],
                          "colour": [1, 1e39, 1]})"),
              "objects[0].colour[1]: number out of range");
    EXPECT_EQ(objects(R"({"type": "box", "name": "", "min": [0, 0, 0], "max": [1, 1, 1]})"),
              "objects[0].name: must not be empty");
    EXPECT_EQ(objects(R"({"type": "box", "name": "a", "min": [0, 0, 0], "max": [1, 1, 1]},
                         {"type": "box", "name": "b", "min": [0, 0, 0], "max": [1, 1, 1]},
                         {"type": "sphere", "name": "a", "center": [0, 0, 0], "radius": 1})"),
              "objects[2].name: duplicate name \"a\" (also used at index 0)");
}

TEST(SceneParseErrors, Lights) {
    const std::string ball =
        R"("objects": [{"type": "sphere", "name": "ball", "center": [0, 0, 0], "radius": 1}])";
    const auto lights = [&](const std::string& list) {
        return error_of(with_camera(ball + ", \"lights\": [" + list + "]"));
    };
    EXPECT_EQ(lights(R"({"position": [0, 1, 0]})"), "lights[0]: missing \"name\"");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "color": [1, 1, 1]})"),
              "lights[0]: unknown key \"color\" (expected one of: name, position, colour, "
              "intensity, falloff, reference_distance, shadows, range, exclude)");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "range": 0})"),
              "lights[0].range: must be greater than 0");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "falloff": "quadratic"})"),
              "lights[0].falloff: unknown falloff \"quadratic\" (expected none, linear or "
              "inverse_square)");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "reference_distance": 0})"),
              "lights[0].reference_distance: must be greater than 0");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "shadows": 1})"),
              "lights[0].shadows: expected true or false");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "intensity": -1e39})"),
              "lights[0].intensity: number out of range");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "exclude": "ball"})"),
              "lights[0].exclude: expected an array");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "exclude": ["ball", "floor"]})"),
              "lights[0].exclude[1]: unknown object \"floor\"");
    EXPECT_EQ(lights(R"({"name": "l", "position": [0, 1, 0], "exclude": ["ball", "ball"]})"),
              "lights[0].exclude[1]: \"ball\" is listed twice");
    EXPECT_EQ(
        lights(R"({"name": "l", "position": [0, 1, 0]}, {"name": "l", "position": [1, 1, 0]})"),
        "lights[1].name: duplicate name \"l\" (also used at index 0)");
}

TEST(SceneParseErrors, LightList) {
    const std::string lights = R"("lights": [{"name": "warm", "position": [0, 1, 0]}])";
    const auto list = [&](const std::string& value) {
        return error_of(with_camera(lights + ", \"light_list\": " + value));
    };
    EXPECT_EQ(list(R"({"mode": "exclude", "lights": ["warm", "green"]})"),
              "light_list.lights[1]: unknown light \"green\"");
    EXPECT_EQ(list(R"({"mode": "only", "lights": []})"),
              "light_list.mode: unknown mode \"only\" (expected exclude or include)");
    EXPECT_EQ(list(R"({"mode": "include"})"), "light_list: missing \"lights\"");
    EXPECT_EQ(list(R"({"mode": "include", "lights": ["warm"], "invert": true})"),
              "light_list: unknown key \"invert\" (expected one of: mode, lights)");
    EXPECT_EQ(list(R"({"mode": "include", "lights": ["warm", "warm"]})"),
              "light_list.lights[1]: \"warm\" is listed twice");
    EXPECT_EQ(list(R"({"mode": "include", "lights": [0]})"),
              "light_list.lights[0]: expected a string");
}

TEST(SceneParseErrors, ImageSize) {
    const auto image = [](const std::string& value) {
        return error_of(with_camera("\"image\": " + value));
    };
    EXPECT_EQ(image(R"({"width": 0})"), "image.width: expected an integer from 1 to 16384");
    EXPECT_EQ(image(R"({"height": -3})"), "image.height: expected an integer from 1 to 16384");
    EXPECT_EQ(image(R"({"width": 5000000000})"),
              "image.width: expected an integer from 1 to 16384");
    EXPECT_EQ(image(R"({"width": 1.5})"), "image.width: expected an integer");
    EXPECT_EQ(image(R"({"width": 16384, "height": 16384})"), "image: more than 16777216 pixels");
    EXPECT_EQ(image(R"({"size": 3})"),
              "image: unknown key \"size\" (expected one of: width, height)");
    EXPECT_EQ(error_of(with_camera(R"("image": {"width": 16384, "height": 1024})")), "(no error)");
}

TEST(SceneParseErrors, FilesPutTheirPathInFront) {
    const std::string folder =
        (std::filesystem::temp_directory_path() / "tonemix_scene_parse_errors").string();
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/broken.json";
    replace_file(path, "{\n  \"camera\": 1\n}\n");
    try {
        load_scene_file(path);
        ADD_FAILURE() << "no error";
    } catch (const SceneError& error) {
        EXPECT_EQ(std::string(error.what()), path + ": camera: expected an object");
    }
    try {
        load_scene_file(folder + "/absent.json");
        ADD_FAILURE() << "no error";
    } catch (const SceneError& error) {
        EXPECT_EQ(std::string(error.what()),
                  folder + "/absent.json: cannot read: No such file or directory");
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
