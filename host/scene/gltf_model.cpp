#include "host/scene/gltf_model.h"

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <new>
#include <system_error>

#include "host/scene/gltf_document.h"
#include "host/scene/gltf_library.h"
#include "host/scene/gltf_nodes.h"
#include "host/scene/gltf_primitives.h"
#include "host/scene/input_file.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw SceneError(path + ": " + what);
}

// The library's messages end each fault with a line break and may hold several: one line, of a
// bounded length, for ours.
std::string one_line(const std::string& text) {
    constexpr std::size_t kLongest = 300;
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            const bool joined = line.size() >= 2 && line.compare(line.size() - 2, 2, "; ") == 0;
            if (!line.empty() && !joined) line += "; ";
        } else {
            line.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c);
        }
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == ';')) line.pop_back();
    if (line.size() > kLongest) line = line.substr(0, kLongest) + "...";
    return line.empty() ? "the glTF library refused it" : line;
}

// The library's file access, through the host's own reader: regular files only (never a FIFO or
// a device, which could block or never end), within its size limit, and only in the model's
// folder: the library would also look in the current folder.
struct FileAccess {
    std::string prefix;  // what every path the library may open starts with
};

bool in_folder(const std::string& file, const FileAccess& access) {
    return file.compare(0, access.prefix.size(), access.prefix) == 0;
}

// Anything by the name counts as there, so that what is not a regular file is refused by name
// rather than reported missing.
bool file_exists(const std::string& file, void* user) {
    std::error_code error;
    return in_folder(file, *static_cast<FileAccess*>(user)) &&
           fs::status(file, error).type() != fs::file_type::not_found && !error;
}

std::string expand_file_path(const std::string& file, void*) { return file; }

bool read_whole_file(std::vector<unsigned char>* out, std::string* error, const std::string& file,
                     void* user) {
    std::error_code status_error;
    if (!in_folder(file, *static_cast<FileAccess*>(user)) ||
        !fs::is_regular_file(fs::status(file, status_error))) {
        if (error) *error = "not a regular file";
        return false;
    }
    try {
        const std::string bytes = read_input_file(file);
        out->assign(bytes.begin(), bytes.end());
        return true;
    } catch (const SceneError& failure) {
        if (error) *error = failure.what();
    } catch (const std::bad_alloc&) {
        if (error) *error = "not enough memory";
    }
    return false;
}

bool write_whole_file(std::string* error, const std::string&, const std::vector<unsigned char>&,
                      void*) {
    if (error) *error = "models are never written";
    return false;
}

// The library declares an image loader's type with its image decoder, which is not built: a
// loader that keeps nothing stands in, since no image is ever shown.
bool skip_image(tinygltf::Image*, const int, std::string*, std::string*, int, int,
                const unsigned char*, int, void*) {
    return true;
}

tinygltf::Model library_model(const std::string& bytes, bool binary, const std::string& folder,
                              const std::string& path) {
    FileAccess access;
    access.prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks(
        {&file_exists, &expand_file_path, &read_whole_file, &write_whole_file, &access});
    loader.SetImageLoader(&skip_image, nullptr);
    tinygltf::Model model;
    std::string error;
    std::string warning;
    const bool read =
        binary ? loader.LoadBinaryFromMemory(&model, &error, &warning,
                                             reinterpret_cast<const unsigned char*>(bytes.data()),
                                             static_cast<unsigned int>(bytes.size()), folder)
               : loader.LoadASCIIFromString(&model, &error, &warning, bytes.data(),
                                            static_cast<unsigned int>(bytes.size()), folder);
    if (!read) fail(path, one_line(error));
    return model;
}

std::string count_phrase(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

constexpr double kPi = 3.14159265358979323846;

// A direction of unit length, or none for a zero or infinite vector; scaled first so that its
// square cannot overflow or vanish.
bool unit_direction(const Vec3& v, Vec3& unit) {
    const double largest = std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z)));
    if (!(largest > 0.0) || !std::isfinite(largest)) return false;
    unit = normalize(v * (1.0 / largest));
    return is_finite(unit);
}

Camera node_camera(const tinygltf::Camera& source, int index, const NodeVisit& visit,
                   const std::string& path) {
    const std::string name = "camera " + std::to_string(index);
    const double yfov = source.perspective.yfov;
    Camera camera;
    camera.fov_degrees = yfov * (180.0 / kPi);
    if (!(yfov > 0.0 && yfov < kPi && camera.fov_degrees < 180.0)) {
        fail(path, name + ": yfov " + std::to_string(yfov) + " is not between 0 and pi");
    }
    camera.position = transform_point(visit.world, {});
    Vec3 forward;
    Vec3 up;
    Vec3 side;
    if (!is_finite(camera.position) ||
        !unit_direction(transform_direction(visit.world, {0.0, 0.0, -1.0}), forward) ||
        !unit_direction(transform_direction(visit.world, {0.0, 1.0, 0.0}), up) ||
        !unit_direction(cross(forward, up), side)) {
        fail(path, "node " + std::to_string(visit.node) + ": its transform leaves " + name +
                       " no place or direction to look in");
    }
    camera.up = up;
    // A step the position's own precision can still tell apart from it.
    const double step = std::fmax(
        1.0, std::fmax(std::fabs(camera.position.x),
                       std::fmax(std::fabs(camera.position.y), std::fabs(camera.position.z))));
    camera.target = camera.position + forward * step;
    return camera;
}

bool fits_float(double value) { return std::isfinite(value) && std::fabs(value) <= FLT_MAX; }

Light point_light(const tinygltf::Light& source, int index, const NodeVisit& visit,
                  const std::string& path) {
    const std::string name = "light " + std::to_string(index);
    Light light;
    light.name = source.name.empty() ? name : source.name;
    if (!source.color.empty()) {
        if (source.color.size() != 3) fail(path, name + ": a colour needs 3 numbers");
        for (std::size_t i = 0; i < 3; ++i) {
            if (!fits_float(source.color[i])) fail(path, name + ": colour out of range");
            light.colour[i] = static_cast<float>(source.color[i]);
        }
    }
    if (!fits_float(source.intensity)) fail(path, name + ": intensity out of range");
    light.intensity = static_cast<float>(source.intensity);
    if (source.range < 0.0 || !std::isfinite(source.range)) {
        fail(path, name + ": range " + std::to_string(source.range) + " is not above 0");
    }
    if (source.range > 0.0) light.range = source.range;
    // Candela at one unit, falling with the square of the distance, as the format defines it.
    light.falloff = Falloff::inverse_square;
    light.reference_distance = 1.0;
    light.position = transform_point(visit.world, {});
    if (!is_finite(light.position)) {
        fail(path, "node " + std::to_string(visit.node) + ": its transform takes " + name +
                       " beyond the range of a double");
    }
    return light;
}

// The light a node carries through the lights extension, or -1.
int node_light(const tinygltf::Node& node, const std::string& path, int index) {
    const auto found = node.extensions.find("KHR_lights_punctual");
    if (found == node.extensions.end()) return -1;
    const tinygltf::Value& extension = found->second;
    const tinygltf::Value& light = extension.IsObject() ? extension.Get("light") : extension;
    if (!light.IsInt()) {
        fail(path, "node " + std::to_string(index) + ": KHR_lights_punctual names no light");
    }
    return light.Get<int>();
}

// Light names are unique in a scene: a second light of one name, or one light placed by two
// nodes, takes the next free "name 2", "name 3".
void add_unique(std::vector<Light>& lights, Light light) {
    const auto taken = [&](const std::string& name) {
        for (const Light& other : lights) {
            if (other.name == name) return true;
        }
        return false;
    };
    const std::string base = light.name;
    for (std::size_t n = 2; taken(light.name); ++n) light.name = base + " " + std::to_string(n);
    lights.push_back(std::move(light));
}

struct LeftOutViews {
    std::size_t orthographic = 0;
    std::size_t spot = 0;
    std::size_t directional = 0;
    std::size_t other_lights = 0;
    std::size_t skinned = 0;
};

GltfModel model_of(const tinygltf::Model& model, std::size_t max_triangles,
                   const std::string& path) {
    const std::vector<NodeVisit> visits = scene_nodes(model, path);
    GltfModel result;
    LeftOutViews left_out;
    for (const NodeVisit& visit : visits) {
        const tinygltf::Node& node = model.nodes[static_cast<std::size_t>(visit.node)];
        if (node.skin >= 0) ++left_out.skinned;
        if (node.camera >= 0) {
            if (static_cast<std::size_t>(node.camera) >= model.cameras.size()) {
                fail(path, "node " + std::to_string(visit.node) + ": camera " +
                               std::to_string(node.camera) + " does not exist");
            }
            const tinygltf::Camera& camera = model.cameras[static_cast<std::size_t>(node.camera)];
            if (camera.type == "perspective") {
                result.cameras.push_back(node_camera(camera, node.camera, visit, path));
            } else {
                ++left_out.orthographic;
            }
        }
        const int light = node_light(node, path, visit.node);
        if (light >= 0) {
            if (static_cast<std::size_t>(light) >= model.lights.size()) {
                fail(path, "node " + std::to_string(visit.node) + ": light " +
                               std::to_string(light) + " does not exist");
            }
            const tinygltf::Light& source = model.lights[static_cast<std::size_t>(light)];
            if (source.type == "point") {
                add_unique(result.lights, point_light(source, light, visit, path));
            } else if (source.type == "spot") {
                ++left_out.spot;
            } else if (source.type == "directional") {
                ++left_out.directional;
            } else {
                ++left_out.other_lights;
            }
        }
    }
    LeftOutGeometry geometry;
    result.mesh = scene_mesh(model, visits, max_triangles, path, geometry);

    auto& notes = result.notes;
    if (geometry.point_or_line_primitives != 0) {
        notes.push_back(count_phrase(geometry.point_or_line_primitives, "primitive", "primitives") +
                        " of points or lines left out");
    }
    if (geometry.morphed_meshes != 0) {
        notes.push_back(count_phrase(geometry.morphed_meshes, "mesh", "meshes") +
                        " shown without their morph targets");
    }
    if (left_out.skinned != 0) {
        notes.push_back(count_phrase(left_out.skinned, "skinned node", "skinned nodes") +
                        " shown unposed, their skins left out");
    }
    if (left_out.orthographic != 0) {
        notes.push_back(
            count_phrase(left_out.orthographic, "orthographic camera", "orthographic cameras") +
            " left out");
    }
    if (left_out.spot != 0) {
        notes.push_back(count_phrase(left_out.spot, "spot light", "spot lights") + " left out");
    }
    if (left_out.directional != 0) {
        notes.push_back(
            count_phrase(left_out.directional, "directional light", "directional lights") +
            " left out");
    }
    if (left_out.other_lights != 0) {
        notes.push_back(
            count_phrase(left_out.other_lights, "light of another kind", "lights of other kinds") +
            " left out");
    }
    return result;
}

bool has_glb_extension(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".glb";
}

}  // namespace

GltfModel parse_gltf_model(const std::string& bytes, bool binary, const std::string& path,
                           const std::string& folder, std::size_t max_triangles) {
    try {
        check_gltf_document(binary ? glb_json_chunk(bytes, path) : bytes, binary, path);
        const tinygltf::Model model = library_model(bytes, binary, folder, path);
        return model_of(model, max_triangles, path);
    } catch (const SceneError&) {
        throw;
    } catch (const std::bad_alloc&) {
        fail(path, "not enough memory to read the model");
    } catch (const std::exception& error) {
        fail(path, one_line(error.what()));
    }
}

GltfModel load_gltf_model(const std::string& path, std::size_t max_triangles) {
    std::string bytes;
    try {
        bytes = read_input_file(path);
    } catch (const std::bad_alloc&) {
        fail(path, "not enough memory to read the model");
    }
    const bool binary = has_glb_extension(path) || bytes.compare(0, 4, "glTF") == 0;
    return parse_gltf_model(bytes, binary, path, fs::path(path).parent_path().string(),
                            max_triangles);
}

}  // namespace tmhost
