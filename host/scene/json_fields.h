// Typed reading of the JSON tree of a scene file. Every failure is a SceneError whose message
// starts with the path of the offending field ("objects[2].radius: expected a number"), so a user
// can find it in the file.
#ifndef TMHOST_JSON_FIELDS_H
#define TMHOST_JSON_FIELDS_H

#include <initializer_list>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/scene/json_document.h"
#include "host/scene/scene.h"
#include "host/scene/vec3.h"

namespace tmhost {

// The largest magnitude of a coordinate or a radius. Points reach the shader as floats, and a
// shader may square them in float (a squared distance): 1e18 squared, three times over, stays
// inside the float range, where 1e20 squared does not.
constexpr double kMaxCoordinate = 1e18;
constexpr const char* kMaxCoordinateText = "1e18";

// Throws the SceneError "<path>: <what>" for the field at `path`.
[[noreturn]] void fail_field(const std::string& path, const std::string& what);

double read_number(const nlohmann::json& value, const std::string& path);  // finite
float read_float(const nlohmann::json& value, const std::string& path);    // finite as a float
int read_integer(const nlohmann::json& value, const std::string& path, int min, int max);
bool read_bool(const nlohmann::json& value, const std::string& path);
std::string read_string(const nlohmann::json& value, const std::string& path);
Vec3 read_vec3(const nlohmann::json& value, const std::string& path);
Vec3 read_position(const nlohmann::json& value, const std::string& path);  // within kMaxCoordinate
Colour read_colour(const nlohmann::json& value, const std::string& path);
const nlohmann::json& read_array(const nlohmann::json& value, const std::string& path);

// One JSON object of the file. With a key list, any other key is an error: a misspelt optional
// key would otherwise be ignored without a word.
class JsonFields {
public:
    JsonFields(const nlohmann::json& value, std::string path);
    JsonFields(const nlohmann::json& value, std::string path,
               std::initializer_list<const char*> allowed);

    const std::string& path() const { return path_; }
    std::string path(const char* key) const;
    bool has(const char* key) const;
    const nlohmann::json& required(const char* key) const;

    double number(const char* key) const { return read_number(required(key), path(key)); }
    Vec3 vec3(const char* key) const { return read_vec3(required(key), path(key)); }
    Vec3 position(const char* key) const { return read_position(required(key), path(key)); }
    std::string string(const char* key) const { return read_string(required(key), path(key)); }

    double number_or(const char* key, double fallback) const;
    float float_or(const char* key, float fallback) const;
    int integer_or(const char* key, int fallback, int min, int max) const;
    bool bool_or(const char* key, bool fallback) const;
    Vec3 vec3_or(const char* key, const Vec3& fallback) const;
    Colour colour_or(const char* key, const Colour& fallback) const;

private:
    const nlohmann::json& value_;
    std::string path_;
};

}  // namespace tmhost

#endif
