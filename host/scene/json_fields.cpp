#include "host/scene/json_fields.h"

#include <cmath>
#include <limits>

#include "host/scene/scene_error.h"

namespace tmhost {

using nlohmann::json;

[[noreturn]] void fail_field(const std::string& path, const std::string& what) {
    throw SceneError(path_label(path) + ": " + what);
}

double read_number(const json& value, const std::string& path) {
    if (!value.is_number()) fail_field(path, "expected a number");
    const double number = value.get<double>();
    if (!std::isfinite(number)) fail_field(path, "expected a finite number");
    return number;
}

float read_float(const json& value, const std::string& path) {
    const double number = read_number(value, path);
    if (std::fabs(number) > std::numeric_limits<float>::max()) {
        fail_field(path, "number out of range");
    }
    return static_cast<float>(number);
}

int read_integer(const json& value, const std::string& path, int min, int max) {
    if (!value.is_number_integer()) fail_field(path, "expected an integer");
    // Non-negative integers arrive unsigned and may not fit the signed type; either way the
    // value is first brought into a range where the comparison is exact.
    long long number = 0;
    if (value.is_number_unsigned()) {
        const auto magnitude = value.get<json::number_unsigned_t>();
        number = magnitude > static_cast<json::number_unsigned_t>(max)
                     ? 1LL + max
                     : static_cast<long long>(magnitude);
    } else {
        number = value.get<json::number_integer_t>();
    }
    if (number < min || number > max) {
        fail_field(
            path, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
    }
    return static_cast<int>(number);
}

bool read_bool(const json& value, const std::string& path) {
    if (!value.is_boolean()) fail_field(path, "expected true or false");
    return value.get<bool>();
}

std::string read_string(const json& value, const std::string& path) {
    if (!value.is_string()) fail_field(path, "expected a string");
    return value.get<std::string>();
}

Vec3 read_vec3(const json& value, const std::string& path) {
    if (!value.is_array() || value.size() != 3) fail_field(path, "expected an array of 3 numbers");
    return {read_number(value[0], element_path(path, 0)),
            read_number(value[1], element_path(path, 1)),
            read_number(value[2], element_path(path, 2))};
}

Vec3 read_position(const json& value, const std::string& path) {
    const Vec3 position = read_vec3(value, path);
    for (int axis = 0; axis < 3; ++axis) {
        if (std::fabs(component(position, axis)) > kMaxCoordinate) {
            fail_field(element_path(path, static_cast<std::size_t>(axis)),
                       std::string("expected a number from -") + kMaxCoordinateText + " to " +
                           kMaxCoordinateText);
        }
    }
    return position;
}

Colour read_colour(const json& value, const std::string& path) {
    if (!value.is_array() || value.size() != 3) fail_field(path, "expected an array of 3 numbers");
    return {read_float(value[0], element_path(path, 0)),
            read_float(value[1], element_path(path, 1)),
            read_float(value[2], element_path(path, 2))};
}

const json& read_array(const json& value, const std::string& path) {
    if (!value.is_array()) fail_field(path, "expected an array");
    return value;
}

JsonFields::JsonFields(const json& value, std::string path)
    : value_(value), path_(std::move(path)) {
    if (!value_.is_object()) fail_field(path_, "expected an object");
}

JsonFields::JsonFields(const json& value, std::string path,
                       std::initializer_list<const char*> allowed)
    : JsonFields(value, std::move(path)) {
    for (const auto& member : value_.items()) {
        bool known = false;
        for (const char* key : allowed) known = known || member.key() == key;
        if (known) continue;
        std::string list;
        for (const char* key : allowed) list += (list.empty() ? "" : ", ") + std::string(key);
        fail_field(path_, "unknown key \"" + member.key() + "\" (expected one of: " + list + ")");
    }
}

std::string JsonFields::path(const char* key) const { return member_path(path_, key); }

bool JsonFields::has(const char* key) const { return value_.contains(key); }

const json& JsonFields::required(const char* key) const {
    const auto found = value_.find(key);
    if (found == value_.end()) fail_field(path_, "missing \"" + std::string(key) + "\"");
    return *found;
}

double JsonFields::number_or(const char* key, double fallback) const {
    return has(key) ? number(key) : fallback;
}

float JsonFields::float_or(const char* key, float fallback) const {
    return has(key) ? read_float(required(key), path(key)) : fallback;
}

int JsonFields::integer_or(const char* key, int fallback, int min, int max) const {
    return has(key) ? read_integer(required(key), path(key), min, max) : fallback;
}

bool JsonFields::bool_or(const char* key, bool fallback) const {
    return has(key) ? read_bool(required(key), path(key)) : fallback;
}

Vec3 JsonFields::vec3_or(const char* key, const Vec3& fallback) const {
    return has(key) ? vec3(key) : fallback;
}

Colour JsonFields::colour_or(const char* key, const Colour& fallback) const {
    return has(key) ? read_colour(required(key), path(key)) : fallback;
}

}  // namespace tmhost
