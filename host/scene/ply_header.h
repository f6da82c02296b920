// The header of a Stanford PLY file, and what its text and binary bodies share: the places that
// messages name, the types of its values.
#ifndef TMHOST_PLY_HEADER_H
#define TMHOST_PLY_HEADER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tmhost::ply {

[[noreturn]] void fail(const std::string& path, const std::string& what);
[[noreturn]] void fail_line(const std::string& path, std::size_t line, const std::string& what);

// Where a value of the body sits, for messages: "line 12" in a text file, "vertex 12" or
// "face 12" (counting from 1) in a binary one.
struct Place {
    std::string_view kind;
    std::uint64_t number;
};

[[noreturn]] void fail_at(const std::string& path, const Place& place, const std::string& what);

// The file's own words, shortened and without control characters, so that a message stays one
// line whatever the file holds.
std::string printable(std::string_view text);
std::string quoted(std::string_view text);

enum class Type : unsigned char { int8, uint8, int16, uint16, int32, uint32, float32, float64 };

const char* type_name(Type type);
std::size_t size_of(Type type);
inline bool is_integer(Type type) { return type < Type::float32; }

// What a property is to the mesh; `other` is read past.
enum class Role : unsigned char { other, x, y, z, nx, ny, nz, red, green, blue, corners };
constexpr int kRoles = 11;

struct Property {
    std::string_view name;
    Type type = Type::float32;  // a scalar's, or a list's items'
    bool list = false;
    Type count_type = Type::uint8;
    Role role = Role::other;
};

struct Element {
    std::string_view name;
    std::uint64_t count = 0;
    std::size_t line = 0;  // of the header
    std::vector<Property> properties;
};

enum class Format { ascii, little_endian, big_endian };

struct Header {
    Format format = Format::ascii;
    std::vector<Element> elements;
    std::size_t body = 0;   // the first byte after the end_header line
    std::size_t lines = 0;  // the header's
    int vertex = -1;        // index into elements, or -1
    int face = -1;
    bool normals = false;
    bool colours = false;
};

// Header lines end at "\n"; the CR of a "\r\n" is left out.
std::string_view next_line(const std::string& bytes, std::size_t& at);

// Splits at spaces and tabs, without allocating: the body of a text file has a line a value.
struct Fields {
    std::string_view rest;

    bool next(std::string_view& field) {
        std::size_t i = 0;
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
        std::size_t end = i;
        while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t') ++end;
        field = rest.substr(i, end - i);
        rest.remove_prefix(end);
        return !field.empty();
    }
};

// The header up to its end_header line, its elements' properties given their roles. Throws
// SceneError "<path>: line N: what" for any fault of it.
Header read_header(const std::string& bytes, const std::string& path);

// Holds every count against the `available` bytes after the header, before anything is reserved
// for them.
void check_counts(const Header& header, std::size_t available, const std::string& path);

}  // namespace tmhost::ply

#endif
