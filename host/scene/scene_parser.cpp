#include "host/scene/scene_parser.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "host/image/image.h"
#include "host/scene/input_file.h"
#include "host/scene/json_document.h"
#include "host/scene/json_fields.h"
#include "host/scene/mesh_file.h"
#include "host/scene/obj_mesh.h"
#include "host/scene/scene_error.h"

namespace tmhost {

using nlohmann::json;

namespace {

// Whether normalising gives a unit vector: not for zero, nor where the squared length
// overflows or underflows.
bool has_direction(const Vec3& v) {
    const double squared = dot(v, v);
    return squared > 0.0 && std::isfinite(squared) && is_finite(normalize(v));
}

void check_direction(const Vec3& v, const std::string& path) {
    if (v == Vec3{}) fail_field(path, "must not be zero");
    if (!has_direction(v)) fail_field(path, "length out of range");
}

Camera parse_camera(const JsonFields& fields) {
    Camera camera;
    camera.position = fields.position("position");
    camera.target = fields.position("target");
    camera.up = fields.vec3_or("up", camera.up);
    camera.fov_degrees = fields.number("fov");
    if (!(camera.fov_degrees > 0.0 && camera.fov_degrees < 180.0)) {
        fail_field(fields.path("fov"), "expected degrees greater than 0 and less than 180");
    }
    const Vec3 forward = camera.target - camera.position;
    if (forward == Vec3{}) fail_field(fields.path("target"), "the same point as the position");
    if (!has_direction(forward)) fail_field(fields.path("target"), "too far from the position");
    check_direction(camera.up, fields.path("up"));
    // The camera's right-hand axis comes from this cross product; near zero it has no direction.
    if (length(cross(normalize(forward), normalize(camera.up))) < 1e-9) {
        fail_field(fields.path("up"), "parallel to the view direction");
    }
    return camera;
}

Shape parse_shape(const JsonFields& fields, const std::string& type) {
    if (type == "sphere") {
        Sphere sphere{fields.position("center"), fields.number("radius")};
        if (!(sphere.radius > 0.0)) fail_field(fields.path("radius"), "must be greater than 0");
        if (sphere.radius > kMaxCoordinate) {
            fail_field(fields.path("radius"), std::string("must be at most ") + kMaxCoordinateText);
        }
        return sphere;
    }
    if (type == "plane") {
        Plane plane{fields.position("point"), fields.vec3("normal")};
        check_direction(plane.normal, fields.path("normal"));
        plane.normal = normalize(plane.normal);
        return plane;
    }
    Box box{fields.position("min"), fields.position("max")};
    static const char* const axes[] = {"x", "y", "z"};
    for (int axis = 0; axis < 3; ++axis) {
        if (component(box.min, axis) > component(box.max, axis)) {
            fail_field(fields.path("min"),
                       std::string("greater than max on the ") + axes[axis] + " axis");
        }
    }
    return box;
}

// Names must be unique within their list (objects, lights): the light list and the exclusions
// name them, and the glue looks them up by name.
void claim_name(std::map<std::string, int>& names, const std::string& name, int index,
                const std::string& path) {
    if (name.empty()) fail_field(path, "must not be empty");
    const auto inserted = names.emplace(name, index);
    if (!inserted.second) {
        fail_field(path, "duplicate name \"" + name + "\" (also used at index " +
                             std::to_string(inserted.first->second) + ")");
    }
}

// Each shape's own two keys, beside the keys every object has.
struct ShapeKeys {
    const char* type;
    const char* first;
    const char* second;
};
const ShapeKeys kShapeKeys[] = {
    {"sphere", "center", "radius"}, {"plane", "point", "normal"}, {"box", "min", "max"}};

// Positive numbers, one for every axis or one per axis.
Vec3 parse_scale(const JsonFields& fields) {
    if (!fields.has("scale")) return {1.0, 1.0, 1.0};
    const json& value = fields.required("scale");
    const std::string path = fields.path("scale");
    Vec3 scale;
    if (value.is_number()) {
        const double factor = read_number(value, path);
        scale = {factor, factor, factor};
    } else if (value.is_array()) {
        scale = read_vec3(value, path);
    } else {
        fail_field(path, "expected a number or an array of 3 numbers");
    }
    if (!(scale.x > 0.0 && scale.y > 0.0 && scale.z > 0.0)) {
        fail_field(path, "must be greater than 0");
    }
    return scale;
}

bool is_absolute(const std::string& file) {
    return (!file.empty() && (file[0] == '/' || file[0] == '\\')) ||
           (file.size() >= 2 && file[1] == ':');
}

// A mesh's file is found from the scene file's folder, as a user writes it next to the scene.
Mesh parse_mesh(const JsonFields& fields, const std::string& folder, std::size_t& triangles,
                Scene& scene, const ReadMeshes* read) {
    const std::string file = fields.string("file");
    if (file.empty()) fail_field(fields.path("file"), "must not be empty");
    MeshTransform transform;
    transform.translate = fields.has("translate") ? fields.position("translate") : Vec3{};
    transform.scale = parse_scale(fields);
    transform.rotate_degrees = fields.vec3_or("rotate", Vec3{});
    const std::string path = folder.empty() || is_absolute(file)
                                 ? file
                                 // the system's own separator, as its messages name files
                                 : (std::filesystem::path(folder) / file).string();
    scene.mesh_files.push_back(path);
    const bool placed = fields.has("translate") || fields.has("scale") || fields.has("rotate");
    const MeshFile* known = nullptr;
    if (read != nullptr && !placed) {
        const auto found = read->find(path);
        if (found != read->end()) known = &found->second;
    }
    if (known != nullptr) {
        const MeshFile& file = *known;
        const std::size_t count = file.mesh.data->triangles.size();
        if (count > kMaxSceneTriangles - triangles) {
            fail_field(fields.path("file"),
                       path + ": " + triangle_limit_text(count, kMaxSceneTriangles - triangles));
        }
        triangles += count;
        scene.notes.insert(scene.notes.end(), file.notes.begin(), file.notes.end());
        return Mesh{file.mesh.data};
    }
    try {
        MeshFile file = load_mesh_file(path, transform, kMaxSceneTriangles - triangles);
        triangles += file.mesh.data->triangles.size();
        scene.notes.insert(scene.notes.end(), file.notes.begin(), file.notes.end());
        return Mesh{std::move(file.mesh.data)};
    } catch (const MeshTransformError& error) {
        fail_field(fields.path(), std::string(error.what()) + " (its scale, rotate and translate)");
    } catch (const SceneError& error) {
        fail_field(fields.path("file"), error.what());
    }
}

// `triangles` counts those of the scene's meshes so far; the scene gets the mesh's file and notes.
SceneObject parse_object(const json& value, const std::string& path, const std::string& folder,
                         std::size_t& triangles, Scene& scene, const ReadMeshes* read) {
    const std::string type = JsonFields(value, path).string("type");
    if (type == "mesh") {
        const JsonFields fields(value, path,
                                {"type", "name", "colour", "file", "translate", "scale", "rotate"});
        return {fields.string("name"), parse_mesh(fields, folder, triangles, scene, read),
                fields.colour_or("colour", {1.0f, 1.0f, 1.0f})};
    }
    for (const ShapeKeys& keys : kShapeKeys) {
        if (type != keys.type) continue;
        const JsonFields fields(value, path, {"type", "name", "colour", keys.first, keys.second});
        return {fields.string("name"), parse_shape(fields, type),
                fields.colour_or("colour", {1.0f, 1.0f, 1.0f})};
    }
    fail_field(member_path(path, "type"),
               "unknown type \"" + type + "\" (expected sphere, plane, box or mesh)");
}

// A list of names resolved against a name table: indices in the order written, each name once.
std::vector<int> resolve_names(const json& value, const std::string& path,
                               const std::map<std::string, int>& names, const char* what) {
    std::vector<int> indices;
    const json& list = read_array(value, path);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string item_path = element_path(path, i);
        const std::string name = read_string(list[i], item_path);
        const auto found = names.find(name);
        if (found == names.end()) {
            fail_field(item_path, "unknown " + std::string(what) + " \"" + name + "\"");
        }
        if (std::find(indices.begin(), indices.end(), found->second) != indices.end()) {
            fail_field(item_path, "\"" + name + "\" is listed twice");
        }
        indices.push_back(found->second);
    }
    return indices;
}

Falloff parse_falloff(const JsonFields& fields) {
    if (!fields.has("falloff")) return Falloff::none;
    const std::string name = fields.string("falloff");
    if (name == "none") return Falloff::none;
    if (name == "linear") return Falloff::linear;
    if (name == "inverse_square") return Falloff::inverse_square;
    fail_field(fields.path("falloff"),
               "unknown falloff \"" + name + "\" (expected none, linear or inverse_square)");
}

Light parse_light(const json& value, const std::string& path,
                  const std::map<std::string, int>& object_names) {
    const JsonFields fields(value, path,
                            {"name", "position", "colour", "intensity", "falloff",
                             "reference_distance", "shadows", "range", "exclude"});
    Light light;
    light.name = fields.string("name");
    light.position = fields.position("position");
    light.colour = fields.colour_or("colour", light.colour);
    light.intensity = fields.float_or("intensity", light.intensity);
    light.falloff = parse_falloff(fields);
    light.reference_distance = fields.number_or("reference_distance", light.reference_distance);
    if (!(light.reference_distance > 0.0)) {
        fail_field(fields.path("reference_distance"), "must be greater than 0");
    }
    light.shadows = fields.bool_or("shadows", light.shadows);
    if (fields.has("range")) {
        light.range = fields.number("range");
        if (!(light.range > 0.0)) fail_field(fields.path("range"), "must be greater than 0");
    }
    if (fields.has("exclude")) {
        light.excluded_objects = resolve_names(fields.required("exclude"), fields.path("exclude"),
                                               object_names, "object");
        std::sort(light.excluded_objects.begin(), light.excluded_objects.end());
    }
    return light;
}

LightList parse_light_list(const JsonFields& fields,
                           const std::map<std::string, int>& light_names) {
    LightList list;
    const std::string mode = fields.string("mode");
    if (mode == "exclude") {
        list.mode = ListMode::exclude;
    } else if (mode == "include") {
        list.mode = ListMode::include;
    } else {
        fail_field(fields.path("mode"),
                   "unknown mode \"" + mode + "\" (expected exclude or include)");
    }
    list.lights =
        resolve_names(fields.required("lights"), fields.path("lights"), light_names, "light");
    return list;
}

// The most light the lights may deliver together, in any channel, and the most an object's colour
// may make of it. The shader adds the light of up to 1024 sample points in float before it
// takes their mean, and the render multiplies that mean by the object's colour: below 1e30 both
// stay far inside the float range, so no infinity reaches an image. The limit is the float
// nearest 1e30, so that a colour or an intensity written as 1e30 passes.
constexpr double kMaxLight = static_cast<double>(1e30f);
constexpr const char* kMaxLightText = "1e30";

double largest_channel(const Colour& colour) {
    return std::max({std::fabs(colour[0]), std::fabs(colour[1]), std::fabs(colour[2])});
}

// What the light delivers at most (falloff never raises it), in its largest channel; as a
// double, exact for a float times a float.
double light_strength(const Light& light) {
    return largest_channel(light.colour) * std::fabs(static_cast<double>(light.intensity));
}

void check_object_colours(const Scene& scene, double light_total) {
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        if (largest_channel(scene.objects[i].colour) * light_total > kMaxLight) {
            fail_field(member_path(element_path("objects", i), "colour"),
                       std::string("times the lights' summed colour times intensity, above ") +
                           kMaxLightText);
        }
    }
}

void parse_image(const JsonFields& fields, Scene& scene) {
    scene.width = fields.integer_or("width", scene.width, 1, kMaxImageSide);
    scene.height = fields.integer_or("height", scene.height, 1, kMaxImageSide);
    if (too_many_pixels(scene.width, scene.height)) {
        fail_field(fields.path(), "more than " + std::to_string(kMaxImagePixels) + " pixels");
    }
}

// Counted by their type before any object is read; an object of another or no type is left to
// its own reading.
void check_plane_count(const json& objects) {
    std::size_t planes = 0;
    for (const json& object : objects) {
        if (!object.is_object()) continue;
        const auto type = object.find("type");
        if (type != object.end() && *type == "plane") ++planes;
    }
    if (planes > kMaxScenePlanes) {
        fail_field("objects", "more than " + std::to_string(kMaxScenePlanes) + " planes (" +
                                  std::to_string(planes) + ")");
    }
}

}  // namespace

Scene parse_scene(const std::string& text, const std::string& folder) {
    return parse_scene(text, folder, ReadMeshes{});
}

Scene parse_scene(const std::string& text, const std::string& folder, const ReadMeshes& meshes) {
    const ReadMeshes* read = meshes.empty() ? nullptr : &meshes;
    // However many lights a text holds, only one past the most is built: a million are refused
    // without the memory or the time of their tree.
    std::size_t light_count = 0;
    const json document =
        parse_json_document(text, ArrayCap{"lights", kMaxSceneLights, &light_count});
    const JsonFields top(
        document, "",
        {"camera", "objects", "lights", "shader", "light_list", "image", "background"});
    Scene scene;
    scene.camera = parse_camera(
        JsonFields(top.required("camera"), "camera", {"position", "target", "up", "fov"}));

    std::map<std::string, int> object_names;
    std::size_t triangles = 0;
    if (top.has("objects")) {
        const json& objects = read_array(top.required("objects"), "objects");
        check_plane_count(objects);
        for (std::size_t i = 0; i < objects.size(); ++i) {
            const std::string path = element_path("objects", i);
            scene.objects.push_back(parse_object(objects[i], path, folder, triangles, scene, read));
            claim_name(object_names, scene.objects.back().name, static_cast<int>(i),
                       member_path(path, "name"));
        }
    }

    std::map<std::string, int> light_names;
    double light_total = 0.0;
    if (top.has("lights")) {
        const json& lights = read_array(top.required("lights"), "lights");
        if (lights.size() > kMaxSceneLights) {
            fail_field("lights", "more than " + std::to_string(kMaxSceneLights) + " lights (" +
                                     std::to_string(light_count) + ")");
        }
        for (std::size_t i = 0; i < lights.size(); ++i) {
            const std::string path = element_path("lights", i);
            scene.lights.push_back(parse_light(lights[i], path, object_names));
            claim_name(light_names, scene.lights.back().name, static_cast<int>(i),
                       member_path(path, "name"));
            light_total += light_strength(scene.lights.back());
            if (light_total > kMaxLight) {
                fail_field(path, std::string("colour times intensity, with the lights before it, "
                                             "above ") +
                                     kMaxLightText);
            }
        }
    }
    check_object_colours(scene, light_total);

    if (top.has("light_list")) {
        scene.light_list = parse_light_list(
            JsonFields(top.required("light_list"), "light_list", {"mode", "lights"}), light_names);
    }
    if (top.has("shader")) {
        const JsonFields shader(top.required("shader"), "shader");  // an object, names not checked
        scene.shader = top.required("shader");
    }
    if (top.has("image")) {
        parse_image(JsonFields(top.required("image"), "image", {"width", "height"}), scene);
    }
    scene.background = top.colour_or("background", scene.background);
    return scene;
}

Scene load_scene_file(const std::string& path) {
    const std::string text = read_input_file(path);
    try {
        const std::size_t slash = path.find_last_of("/\\");
        return parse_scene(text, slash == std::string::npos ? "" : path.substr(0, slash));
    } catch (const SceneError& error) {
        throw SceneError(path + ": " + error.what());
    }
}

}  // namespace tmhost
