#include "host/scene/model_stage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include <nlohmann/json.hpp>

#include "host/scene/angles.h"
#include "host/scene/camera_rays.h"
#include "host/scene/gltf_model.h"
#include "host/scene/mesh_file.h"
#include "host/scene/scene_error.h"
#include "host/scene/scene_extent.h"
#include "host/scene/scene_parser.h"

namespace tmhost {

namespace {

// The stage's camera: a three-quarter view from the front right and above, as close as it may be
// while every corner of the model's bounds stays within this share of the image's height and of
// the width of a 4:3 image, the stage's own size.
constexpr double kStageAzimuth = 35.0;
constexpr double kStageElevation = 25.0;
constexpr double kStageFov = 40.0;
constexpr double kStageFill = 0.8;
constexpr double kStageAspect = 640.0 / 480.0;
// The floor lies this fraction of the model's size below its lowest point, so that a model's
// flat bottom and the floor do not meet in one plane.
constexpr double kFloorGap = 1e-3;
constexpr double kLightDistance = 4.0;  // in radii of the model's bounding sphere

// The stage's lights in the camera's frame (right, up, toward the camera): the key from the
// upper left front, the fill from the right and low, the rim from behind and above. Without
// falloff, so that the stage lights a model of any size alike.
struct StageLight {
    const char* name;
    double right, up, back;
    const char* colour;
    const char* intensity;
};
const StageLight kStageLights[] = {
    {"key", -1.0, 1.4, 1.0, "[1, 0.95, 0.88]", "0.65"},
    {"fill", 1.3, 0.3, 0.7, "[0.8, 0.88, 1]", "0.2"},
    {"rim", 0.4, 1.0, -1.3, "[1, 1, 1]", "0.25"},
};

// A double as the JSON text that reads back to the same bits on both builds: the library's own
// shortest form, not the C runtime's.
std::string number(double value) { return nlohmann::json(value).dump(); }

std::string vector_text(const Vec3& v) {
    return "[" + number(v.x) + ", " + number(v.y) + ", " + number(v.z) + "]";
}

std::string colour_text(const Colour& colour) {
    return "[" + number(colour[0]) + ", " + number(colour[1]) + ", " + number(colour[2]) + "]";
}

std::string string_text(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Two significant digits as a decimal ("0.69", "400", "0.0004"), worked out by plain arithmetic
// so that both builds write the same text.
std::string two_digits(double value) {
    if (!(value > 0.0) || !std::isfinite(value)) return "0";
    int exponent = 0;
    double scaled = value;
    while (scaled >= 100.0) {
        scaled /= 10.0;
        ++exponent;
    }
    while (scaled < 10.0) {
        scaled *= 10.0;
        --exponent;
    }
    long mantissa = std::lround(scaled);
    if (mantissa == 100) {
        mantissa = 10;
        ++exponent;
    }
    std::string digits = std::to_string(mantissa);
    if (exponent >= 0) return digits + std::string(static_cast<std::size_t>(exponent), '0');
    const int point = 2 + exponent;  // digits before the decimal point
    std::string text = point > 0
                           ? digits.substr(0, static_cast<std::size_t>(point)) + "." +
                                 digits.substr(static_cast<std::size_t>(point))
                           : "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

std::string stem_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

bool is_valid_utf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

// How far from the centre along `toward` the camera frames the box: for each corner, at depth
// `depth` in front of the camera and `across` to the side, the least distance at which it lies
// inside the share of the view.
double framing_distance(const SceneBounds& bounds, const Vec3& center, const Vec3& toward,
                        const Vec3& up, double radius) {
    const Vec3 right = normalize(cross(up, toward));
    const Vec3 image_up = cross(toward, right);
    const double vertical = kStageFill * tan_degrees(0.5 * kStageFov);
    const double horizontal = vertical * kStageAspect;
    double distance = 0.0;
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 point{corner & 1 ? bounds.high.x : bounds.low.x,
                         corner & 2 ? bounds.high.y : bounds.low.y,
                         corner & 4 ? bounds.high.z : bounds.low.z};
        const Vec3 from_center = point - center;
        const double nearer = dot(from_center, toward);  // toward the camera
        distance = std::max({distance, nearer + std::fabs(dot(from_center, image_up)) / vertical,
                             nearer + std::fabs(dot(from_center, right)) / horizontal,
                             nearer + 0.1 * radius});
    }
    return distance;
}

struct ReadModel {
    MeshFile mesh;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
};

ReadModel read_model(const std::string& path) {
    ReadModel model;
    const std::optional<ModelFormat> format = model_format(path);
    if (format == ModelFormat::gltf || format == ModelFormat::glb) {
        GltfModel file = load_gltf_model(path, kMaxSceneTriangles);
        for (const std::string& note : file.notes) model.mesh.notes.push_back(path + ": " + note);
        model.mesh.mesh = build_mesh(file.mesh, path, MeshTransform{});
        if (model.mesh.mesh.repairs.any()) {
            model.mesh.notes.push_back(repairs_line(path, model.mesh.mesh.repairs));
        }
        model.cameras = std::move(file.cameras);
        model.lights = std::move(file.lights);
    } else {
        model.mesh = load_mesh_file(path, MeshTransform{}, kMaxSceneTriangles);
    }
    return model;
}

std::string camera_text(const Camera& camera) {
    return "{ \"position\": " + vector_text(camera.position) +
           ", \"target\": " + vector_text(camera.target) + ", \"up\": " + vector_text(camera.up) +
           ", \"fov\": " + number(camera.fov_degrees) + " }";
}

const char* falloff_text(Falloff falloff) {
    switch (falloff) {
    case Falloff::linear:
        return "linear";
    case Falloff::inverse_square:
        return "inverse_square";
    case Falloff::none:
        break;
    }
    return "none";
}

std::string light_text(const Light& light) {
    std::string text = "{ \"name\": " + string_text(light.name) +
                       ", \"position\": " + vector_text(light.position) +
                       ", \"colour\": " + colour_text(light.colour) +
                       ", \"intensity\": " + number(light.intensity) + ", \"falloff\": \"" +
                       falloff_text(light.falloff) +
                       "\", \"reference_distance\": " + number(light.reference_distance);
    if (std::isfinite(light.range)) text += ", \"range\": " + number(light.range);
    return text + " }";
}

}  // namespace

StagedModel stage_model(const std::string& path, const StageOptions& options,
                        const StageReach& reach) {
    if (!is_valid_utf8(path)) {
        throw SceneError(path + ": a model's path must be UTF-8 text to be named in a scene");
    }
    ReadModel model = read_model(path);
    Scene bounds_of;
    bounds_of.objects.push_back({"model", Mesh{model.mesh.mesh.data}, {}});
    const SceneBounds bounds = *scene_bounds(bounds_of);
    const Vec3 center = (bounds.low + bounds.high) * 0.5;

    StagedModel staged;
    staged.size = length(bounds.high - bounds.low);
    const double radius = 0.5 * staged.size;
    const Vec3 up = options.up == UpAxis::z ? Vec3{0.0, 0.0, 1.0} : Vec3{0.0, 1.0, 0.0};

    Camera camera;
    if (options.camera_index &&
        (*options.camera_index < 0 ||
         static_cast<std::size_t>(*options.camera_index) >= model.cameras.size())) {
        throw SceneError(path + ": no camera " + std::to_string(*options.camera_index) +
                         " (the file has " + std::to_string(model.cameras.size()) +
                         (model.cameras.size() == 1 ? " camera" : " cameras") +
                         ", counted from 0)");
    }
    staged.own_camera = !model.cameras.empty();
    if (staged.own_camera) {
        camera = model.cameras[static_cast<std::size_t>(options.camera_index.value_or(0))];
    } else {
        const SineCosine azimuth = sine_cosine_degrees(kStageAzimuth);
        const SineCosine elevation = sine_cosine_degrees(kStageElevation);
        // Front is +z for a y-up model, -y for a z-up one, as the tools that write each show it.
        const Vec3 toward = options.up == UpAxis::z
                                ? Vec3{azimuth.sine * elevation.cosine,
                                       -azimuth.cosine * elevation.cosine, elevation.sine}
                                : Vec3{azimuth.sine * elevation.cosine, elevation.sine,
                                       azimuth.cosine * elevation.cosine};
        camera.position = center + toward * framing_distance(bounds, center, toward, up, radius);
        camera.target = center;
        camera.up = up;
        camera.fov_degrees = kStageFov;
    }

    std::string lights;
    staged.own_lights = !model.lights.empty();
    if (staged.own_lights) {
        for (const Light& light : model.lights) {
            lights += std::string(lights.empty() ? "" : ",\n") + "    " + light_text(light);
        }
    } else {
        const Vec3 back = normalize(camera.position - camera.target);
        const Vec3 right = normalize(cross(up, back));
        const Vec3 image_up = cross(back, right);
        for (const StageLight& light : kStageLights) {
            const Vec3 direction =
                normalize(right * light.right + image_up * light.up + back * light.back);
            lights +=
                std::string(lights.empty() ? "" : ",\n") + "    { \"name\": \"" + light.name +
                "\", \"position\": " + vector_text(center + direction * (kLightDistance * radius)) +
                ", \"colour\": " + light.colour + ", \"intensity\": " + light.intensity + " }";
        }
    }

    std::string name = stem_of(path);
    if (name.empty() || name == "floor") name = "model";
    std::string objects = "    { \"type\": \"mesh\", \"name\": " + string_text(name) +
                          ", \"file\": " + string_text(path) + ", \"colour\": [0.9, 0.9, 0.9] }";
    if (!staged.own_camera && !staged.own_lights) {
        Vec3 floor = center;
        const double lowest = options.up == UpAxis::z ? bounds.low.z : bounds.low.y;
        (options.up == UpAxis::z ? floor.z : floor.y) = lowest - kFloorGap * staged.size;
        objects +=
            ",\n    { \"type\": \"plane\", \"name\": \"floor\", \"point\": " + vector_text(floor) +
            ", \"normal\": " + vector_text(up) + ", \"colour\": [0.6, 0.6, 0.6] }";
    }

    const std::string distance = two_digits(kStageDistancePerSize * staged.size);
    const std::string offset = two_digits(kStageOffsetPerSize * staged.size);
    staged.distance = std::strtod(distance.c_str(), nullptr);
    staged.offset = std::strtod(offset.c_str(), nullptr);
    staged.text = "{\n  \"camera\": " + camera_text(camera) +
                  ",\n  \"image\": { \"width\": 640, \"height\": 480 }" +
                  ",\n  \"background\": [0.1, 0.1, 0.12]" + ",\n  \"objects\": [\n" + objects +
                  "\n  ],\n  \"lights\": [\n" + lights + "\n  ],\n  \"shader\": { \"" +
                  reach.distance_name + "\": " + distance + ", \"" + reach.offset_name +
                  "\": " + offset + " }\n}\n";
    ReadMeshes read;
    read.emplace(path, std::move(model.mesh));
    staged.scene = parse_scene(staged.text, "", read);
    return staged;
}

}  // namespace tmhost
