#include "host/scene/ply_mesh.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "host/scene/obj_numbers.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw SceneError(path + ": " + what);
}

[[noreturn]] void fail_line(const std::string& path, std::size_t line, const std::string& what) {
    fail(path, "line " + std::to_string(line) + ": " + what);
}

// Where a value of the body sits, for messages: "line 12" in a text file, "vertex 12" or
// "face 12" (counting from 1) in a binary one.
struct Place {
    std::string_view kind;
    std::uint64_t number;
};

[[noreturn]] void fail_at(const std::string& path, const Place& place, const std::string& what) {
    fail(path, std::string(place.kind) + " " + std::to_string(place.number) + ": " + what);
}

// The file's own words, shortened and without control characters, so that a message stays one
// line whatever the file holds.
std::string printable(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    std::string out(text.substr(0, kLongest));
    if (text.size() > kLongest) out += "...";
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return out;
}

std::string quoted(std::string_view text) { return "\"" + printable(text) + "\""; }

enum class Type : unsigned char { int8, uint8, int16, uint16, int32, uint32, float32, float64 };

const char* type_name(Type type) {
    static const char* const kNames[] = {"char", "uchar", "short", "ushort",
                                         "int",  "uint",  "float", "double"};
    return kNames[static_cast<int>(type)];
}

std::size_t size_of(Type type) {
    static const unsigned char kSizes[] = {1, 1, 2, 2, 4, 4, 4, 8};
    return kSizes[static_cast<int>(type)];
}

bool is_integer(Type type) { return type < Type::float32; }

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
std::string_view next_line(const std::string& bytes, std::size_t& at) {
    const std::size_t end = bytes.find('\n', at);
    const std::size_t stop = end == std::string::npos ? bytes.size() : end;
    std::string_view line(bytes.data() + at, stop - at);
    at = end == std::string::npos ? bytes.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

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

std::vector<std::string_view> fields_of(std::string_view line) {
    std::vector<std::string_view> out;
    Fields fields{line};
    for (std::string_view field; fields.next(field);) out.push_back(field);
    return out;
}

Type type_named(std::string_view name, const std::string& path, std::size_t line) {
    static const struct {
        std::string_view name;
        Type type;
    } kNames[] = {{"char", Type::int8},      {"int8", Type::int8},       {"uchar", Type::uint8},
                  {"uint8", Type::uint8},    {"short", Type::int16},     {"int16", Type::int16},
                  {"ushort", Type::uint16},  {"uint16", Type::uint16},   {"int", Type::int32},
                  {"int32", Type::int32},    {"uint", Type::uint32},     {"uint32", Type::uint32},
                  {"float", Type::float32},  {"float32", Type::float32}, {"double", Type::float64},
                  {"float64", Type::float64}};
    for (const auto& known : kNames) {
        if (known.name == name) return known.type;
    }
    fail_line(path, line, "unknown property type " + quoted(name));
}

// Counts are 32-bit in every writer; up to 4294967295.
std::uint64_t count_named(std::string_view text, const std::string& path, std::size_t line) {
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), is_digit)) {
        fail_line(path, line, "expected an element count, got " + quoted(text));
    }
    std::uint64_t count = 0;
    for (const char c : text) count = count * 10 + static_cast<unsigned>(c - '0');
    if (count > UINT32_MAX)
        fail_line(path, line, "element count " + quoted(text) + " out of range");
    return count;
}

Property* find(Element& element, std::string_view name) {
    for (Property& p : element.properties) {
        if (p.name == name) return &p;
    }
    return nullptr;
}

// Three properties that come together or not at all; true when they are there.
bool take_three(Element& vertex, const std::array<std::string_view, 3>& names, Role first,
                const std::string& path) {
    Property* found[3];
    int present = -1;
    for (int k = 0; k < 3; ++k) {
        found[k] = find(vertex, names[k]);
        if (found[k] != nullptr && present < 0) present = k;
    }
    if (present < 0) return false;
    for (int k = 0; k < 3; ++k) {
        const std::string name(names[k]);
        if (found[k] == nullptr) {
            fail_line(path, vertex.line,
                      "element vertex has " + std::string(names[present]) + " but no " + name);
        }
        if (found[k]->list) fail_line(path, vertex.line, "element vertex: " + name + " is a list");
        found[k]->role = static_cast<Role>(static_cast<int>(first) + k);
    }
    return true;
}

void assign_vertex_roles(Header& header, Element& vertex, const std::string& path) {
    if (!take_three(vertex, {"x", "y", "z"}, Role::x, path)) {
        fail_line(path, vertex.line, "element vertex without x, y and z");
    }
    header.normals = take_three(vertex, {"nx", "ny", "nz"}, Role::nx, path);
    header.colours = take_three(vertex, {"red", "green", "blue"}, Role::red, path);
    for (const Property& p : vertex.properties) {
        if (p.role >= Role::red && p.role <= Role::blue && is_integer(p.type) &&
            p.type != Type::uint8 && p.type != Type::uint16) {
            fail_line(path, vertex.line,
                      "element vertex: colour " + std::string(p.name) + " of type " +
                          type_name(p.type) + " (uchar, ushort, float or double expected)");
        }
    }
}

void assign_face_roles(Element& face, const std::string& path) {
    Property* indices = find(face, "vertex_indices");
    Property* other = find(face, "vertex_index");
    if (indices != nullptr && other != nullptr) {
        fail_line(path, face.line, "element face has both vertex_indices and vertex_index");
    }
    if (indices == nullptr) indices = other;
    if (indices == nullptr)
        fail_line(path, face.line, "element face without a vertex_indices list");
    const std::string name(indices->name);
    if (!indices->list) fail_line(path, face.line, "element face: " + name + " is not a list");
    if (!is_integer(indices->type)) {
        fail_line(path, face.line,
                  "element face: " + name + " of type " + type_name(indices->type) +
                      " (an integer type expected)");
    }
    indices->role = Role::corners;
}

void read_property(Element& element, const std::vector<std::string_view>& fields,
                   const std::string& path, std::size_t line) {
    Property p;
    if (fields.size() == 5 && fields[1] == "list") {
        p.list = true;
        p.count_type = type_named(fields[2], path, line);
        if (!is_integer(p.count_type)) {
            fail_line(path, line,
                      std::string("list count of type ") + type_name(p.count_type) +
                          " (an integer type expected)");
        }
        p.type = type_named(fields[3], path, line);
        p.name = fields[4];
    } else if (fields.size() == 3 && fields[1] != "list") {
        p.type = type_named(fields[1], path, line);
        p.name = fields[2];
    } else {
        fail_line(path, line,
                  "expected \"property <type> <name>\" or \"property list <count type> <type> "
                  "<name>\"");
    }
    if (find(element, p.name) != nullptr) {
        fail_line(path, line,
                  "a second property " + quoted(p.name) + " in element " + printable(element.name));
    }
    element.properties.push_back(p);
}

Header read_header(const std::string& bytes, const std::string& path) {
    std::size_t at = 0;
    // Checked before any line is looked for: a large file of another kind is not scanned.
    if (bytes.compare(0, 3, "ply") != 0 || next_line(bytes, at) != "ply") {
        fail(path, "not a PLY file");
    }
    Header header;
    bool format_seen = false;
    std::size_t line = 1;
    for (;;) {
        if (at >= bytes.size()) fail_line(path, line, "the file ends within the header");
        const std::vector<std::string_view> fields = fields_of(next_line(bytes, at));
        ++line;
        if (fields.empty() || fields[0] == "comment" || fields[0] == "obj_info") continue;
        const std::string_view keyword = fields[0];
        if (keyword == "end_header") {
            if (fields.size() != 1) fail_line(path, line, "expected \"end_header\" alone");
            break;
        }
        if (keyword == "format") {
            if (format_seen) fail_line(path, line, "a second format line");
            if (fields.size() != 3) fail_line(path, line, "expected \"format <kind> 1.0\"");
            if (fields[1] == "ascii") {
                header.format = Format::ascii;
            } else if (fields[1] == "binary_little_endian") {
                header.format = Format::little_endian;
            } else if (fields[1] == "binary_big_endian") {
                header.format = Format::big_endian;
            } else {
                fail_line(path, line, "unknown format " + quoted(fields[1]));
            }
            if (fields[2] != "1.0") {
                fail_line(path, line, "unknown format version " + quoted(fields[2]));
            }
            format_seen = true;
        } else if (keyword == "element") {
            if (fields.size() != 3) fail_line(path, line, "expected \"element <name> <count>\"");
            for (const Element& e : header.elements) {
                if (e.name == fields[1]) {
                    fail_line(path, line, "a second element " + quoted(fields[1]));
                }
            }
            Element element;
            element.name = fields[1];
            element.count = count_named(fields[2], path, line);
            element.line = line;
            header.elements.push_back(std::move(element));
        } else if (keyword == "property") {
            if (header.elements.empty()) fail_line(path, line, "a property before any element");
            read_property(header.elements.back(), fields, path, line);
        } else {
            // Before its format a file may be some other text that happens to open with "ply",
            // whose content a message must not show.
            if (!format_seen) fail(path, "not a PLY file");
            fail_line(path, line, "unknown header line " + quoted(keyword));
        }
    }
    if (!format_seen) fail_line(path, line, "end_header without a format line");
    header.body = at;
    header.lines = line;
    for (std::size_t i = 0; i < header.elements.size(); ++i) {
        Element& element = header.elements[i];
        if (element.name == "vertex") {
            header.vertex = static_cast<int>(i);
            assign_vertex_roles(header, element, path);
        } else if (element.name == "face") {
            header.face = static_cast<int>(i);
            assign_face_roles(element, path);
        }
    }
    return header;
}

// Every count is held against the bytes after the header before anything is reserved for it: a
// file of 100 bytes may claim 4 billion vertices. A binary instance needs at least its scalars
// and its lists' counts; a text value at least a character and a separator (the file's last
// value, only its character). No sum overflows: an instance needs at most 8 bytes a property, a
// header of under 2^31 bytes names fewer than 2^27 properties, a count is under 2^32, and the
// sum stops as soon as it passes the file's size.
void check_counts(const Header& header, std::size_t available, const std::string& path) {
    const bool text = header.format == Format::ascii;
    const std::uint64_t room = static_cast<std::uint64_t>(available) + (text ? 1 : 0);
    std::uint64_t needed = 0;
    for (const Element& e : header.elements) {
        std::uint64_t least = 0;
        for (const Property& p : e.properties) {
            least += text ? 2 : size_of(p.list ? p.count_type : p.type);
        }
        needed += e.count * least;
        if (needed > room) {
            fail_line(path, e.line,
                      "element " + printable(e.name) + ": " + std::to_string(e.count) +
                          " of them do not fit in the " + std::to_string(available) +
                          " bytes after the header");
        }
    }
}

[[noreturn]] void fail_too_many(const std::string& path, std::uint64_t triangles,
                                std::size_t max_triangles) {
    fail(path, triangle_limit_text(triangles, max_triangles));
}

void check_corner_count(std::int64_t corners, const std::string& path, const Place& place) {
    if (corners < 3) fail_at(path, place, "a face needs at least 3 corners");
    if (static_cast<std::uint64_t>(corners) > kMaxFaceCorners) {
        fail_at(path, place, "a face of more than " + std::to_string(kMaxFaceCorners) + " corners");
    }
}

// Faces into fans of triangles as their corners arrive; past `max_triangles` they are only
// counted, so that the message can say how many the file holds.
struct FaceSink {
    MeshSource& mesh;
    std::uint64_t vertices;
    bool normals;
    std::size_t max_triangles;
    std::uint64_t triangles = 0;
    std::uint32_t first = 0;
    std::uint32_t previous = 0;
    std::size_t corner = 0;

    void add(std::int64_t index, const std::string& path, const Place& place,
             std::uint32_t origin) {
        if (index < 0) fail_at(path, place, "negative vertex index " + std::to_string(index));
        if (static_cast<std::uint64_t>(index) >= vertices) {
            fail_at(path, place,
                    "vertex index " + std::to_string(index) + " out of range (" +
                        std::to_string(vertices) + " vertices)");
        }
        const auto vertex = static_cast<std::uint32_t>(index);
        if (corner == 0) {
            first = vertex;
        } else if (corner >= 2 && ++triangles <= max_triangles) {
            const auto normal = [this](std::uint32_t v) {
                return normals ? static_cast<std::int32_t>(v) : -1;
            };
            mesh.triangles.push_back({MeshCorner{first, normal(first)},
                                      MeshCorner{previous, normal(previous)},
                                      MeshCorner{vertex, normal(vertex)}});
            mesh.origins.push_back(origin);
        }
        previous = vertex;
        ++corner;
    }
};

// A vertex's values by role: positions and normals as the file gives them, colours already
// brought to 0 to 1 for the integer types.
using VertexValues = std::array<double, kRoles>;

double scaled(double value, Type type, Role role) {
    if (role < Role::red || role > Role::blue) return value;
    if (type == Type::uint8) return value / 255.0;
    if (type == Type::uint16) return value / 65535.0;
    return value;
}

void add_vertex(MeshSource& mesh, const Header& header, const VertexValues& v,
                const std::string& path, const Place& place) {
    const auto at = [&v](Role role) { return v[static_cast<int>(role)]; };
    mesh.positions.push_back({at(Role::x), at(Role::y), at(Role::z)});
    if (header.normals) mesh.normals.push_back({at(Role::nx), at(Role::ny), at(Role::nz)});
    if (header.colours) {
        const Colour colour{static_cast<float>(at(Role::red)), static_cast<float>(at(Role::green)),
                            static_cast<float>(at(Role::blue))};
        static const char* const kChannels[] = {"red", "green", "blue"};
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(colour[k])) {
                fail_at(path, place, std::string(kChannels[k]) + " out of range");
            }
        }
        mesh.colours.push_back(colour);
    }
    mesh.position_origins.push_back(static_cast<std::uint32_t>(place.number));
}

// ---- text body: one line an instance

struct TextCursor {
    const std::string& bytes;
    std::size_t at;
    std::size_t line;

    // The next line that holds anything.
    bool next(std::string_view& content) {
        while (at < bytes.size()) {
            content = next_line(bytes, at);
            ++line;
            if (content.find_first_not_of(" \t") != std::string_view::npos) return true;
        }
        return false;
    }
};

std::int64_t text_integer(std::string_view token, const char* what, const std::string& path,
                          const Place& place) {
    const std::size_t sign = !token.empty() && (token[0] == '-' || token[0] == '+') ? 1 : 0;
    if (token.size() == sign || token.size() - sign > 18 ||
        !std::all_of(token.begin() + static_cast<std::ptrdiff_t>(sign), token.end(), is_digit)) {
        fail_at(path, place, std::string("expected ") + what + ", got " + quoted(token));
    }
    std::int64_t value = 0;
    for (std::size_t i = sign; i < token.size(); ++i) value = value * 10 + (token[i] - '0');
    return token[0] == '-' ? -value : value;
}

double text_value(std::string_view token, Type type, const std::string& path, const Place& place) {
    if (is_integer(type)) {
        static const std::int64_t kLeast[] = {-128, 0, -32768, 0, INT32_MIN, 0};
        static const std::int64_t kMost[] = {127, 255, 32767, 65535, INT32_MAX, UINT32_MAX};
        const std::int64_t value = text_integer(token, "an integer", path, place);
        const int t = static_cast<int>(type);
        if (value < kLeast[t] || value > kMost[t]) {
            fail_at(path, place, std::to_string(value) + " out of range for " + type_name(type));
        }
        return static_cast<double>(value);
    }
    if (!is_decimal(token)) {
        fail_at(path, place, "expected a finite decimal number, got " + quoted(token));
    }
    const double value = decimal_value(token);
    if (!std::isfinite(value)) fail_at(path, place, "number out of range: " + quoted(token));
    return value;
}

void read_text_body(const std::string& bytes, const Header& header, MeshSource& mesh,
                    FaceSink& faces, const std::string& path) {
    TextCursor cursor{bytes, header.body, header.lines};
    for (std::size_t e = 0; e < header.elements.size(); ++e) {
        const Element& element = header.elements[e];
        if (element.properties.empty()) continue;  // nothing to read, however many
        const bool is_vertex = static_cast<int>(e) == header.vertex;
        const std::string name = printable(element.name);
        for (std::uint64_t i = 0; i < element.count; ++i) {
            std::string_view content;
            if (!cursor.next(content)) {
                fail_line(path, cursor.line,
                          "the file ends within element " + name + " (" + std::to_string(i) +
                              " of " + std::to_string(element.count) + " read)");
            }
            const Place place{"line", cursor.line};
            const auto origin = static_cast<std::uint32_t>(cursor.line);
            Fields fields{content};
            std::string_view token;
            const auto next = [&]() {
                if (!fields.next(token)) fail_at(path, place, "too few values for element " + name);
            };
            VertexValues values{};
            for (const Property& p : element.properties) {
                next();
                if (p.list) {
                    const std::int64_t n = text_integer(token, "a list count", path, place);
                    if (n < 0) fail_at(path, place, "negative list count " + std::to_string(n));
                    if (p.role == Role::corners) {
                        check_corner_count(n, path, place);
                        faces.corner = 0;
                    }
                    // However large the count, the line's values run out first.
                    for (std::int64_t k = 0; k < n; ++k) {
                        next();
                        if (p.role == Role::corners) {
                            faces.add(text_integer(token, "a vertex index", path, place), path,
                                      place, origin);
                        }
                    }
                } else if (p.role != Role::other) {
                    values[static_cast<int>(p.role)] =
                        scaled(text_value(token, p.type, path, place), p.type, p.role);
                }
            }
            if (fields.next(token)) {
                fail_at(path, place, "more values than the properties of element " + name);
            }
            if (is_vertex) add_vertex(mesh, header, values, path, place);
        }
    }
    std::string_view content;
    if (cursor.next(content)) fail_line(path, cursor.line, "more lines than the header's elements");
}

// ---- binary body

// Values are put together from their bytes, never read through the machine's own order, and a
// float's bits are copied whole: both builds read every file to the same bits.
std::uint64_t bits_at(const unsigned char* p, std::size_t size, bool big) {
    std::uint64_t bits = 0;
    if (big) {
        for (std::size_t i = 0; i < size; ++i) bits = bits << 8 | p[i];
    } else {
        for (std::size_t i = size; i-- > 0;) bits = bits << 8 | p[i];
    }
    return bits;
}

std::int64_t integer_at(const unsigned char* p, Type type, bool big) {
    const std::uint64_t bits = bits_at(p, size_of(type), big);
    switch (type) {
    case Type::int8:
        return static_cast<std::int8_t>(static_cast<std::uint8_t>(bits));
    case Type::int16:
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits));
    case Type::int32:
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    default:
        return static_cast<std::int64_t>(bits);
    }
}

double number_at(const unsigned char* p, Type type, bool big) {
    if (type == Type::float32) {
        const auto bits = static_cast<std::uint32_t>(bits_at(p, 4, big));
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    if (type == Type::float64) {
        const std::uint64_t bits = bits_at(p, 8, big);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    return static_cast<double>(integer_at(p, type, big));
}

struct BinaryBody {
    const unsigned char* data;
    std::size_t size;
    bool big;
};

// Where each element's instances begin, found by walking the lists of those whose size varies,
// and the triangles the faces make: all known before anything is reserved for them.
struct Layout {
    std::vector<std::size_t> starts;
    std::uint64_t triangles = 0;
};

Layout lay_out(const BinaryBody& body, const Header& header, const std::string& path) {
    Layout layout;
    std::size_t at = header.body;
    for (const Element& e : header.elements) {
        layout.starts.push_back(at);
        const std::string name = printable(e.name);
        std::size_t fixed = 0;
        bool lists = false;
        for (const Property& p : e.properties) {
            fixed += size_of(p.type);
            lists = lists || p.list;
        }
        if (!lists) {
            if (fixed == 0) continue;
            if (e.count > (body.size - at) / fixed) {
                fail_at(path, {name, (body.size - at) / fixed + 1}, "the file ends within it");
            }
            at += static_cast<std::size_t>(e.count) * fixed;
            continue;
        }
        for (std::uint64_t i = 0; i < e.count; ++i) {
            const Place place{name, i + 1};
            const auto need = [&](std::uint64_t bytes) {
                if (bytes > body.size - at) fail_at(path, place, "the file ends within it");
            };
            for (const Property& p : e.properties) {
                if (!p.list) {
                    need(size_of(p.type));
                    at += size_of(p.type);
                    continue;
                }
                need(size_of(p.count_type));
                const std::int64_t n = integer_at(body.data + at, p.count_type, body.big);
                at += size_of(p.count_type);
                if (n < 0) fail_at(path, place, "negative list count " + std::to_string(n));
                if (p.role == Role::corners) {
                    check_corner_count(n, path, place);
                    layout.triangles += static_cast<std::uint64_t>(n) - 2;
                }
                const std::uint64_t items = static_cast<std::uint64_t>(n) * size_of(p.type);
                need(items);
                at += static_cast<std::size_t>(items);
            }
        }
    }
    return layout;
}

// Reads one element laid out and checked before: no bound is passed.
void read_binary_element(const BinaryBody& body, std::size_t at, const Element& element,
                         bool is_vertex, const Header& header, MeshSource& mesh, FaceSink& faces,
                         const std::string& path) {
    const std::string_view kind = is_vertex ? "vertex" : "face";
    for (std::uint64_t i = 0; i < element.count; ++i) {
        const Place place{kind, i + 1};
        VertexValues values{};
        for (const Property& p : element.properties) {
            if (!p.list) {
                if (p.role != Role::other) {
                    const double value = number_at(body.data + at, p.type, body.big);
                    if (!std::isfinite(value)) {
                        fail_at(path, place, std::string(p.name) + " is not finite");
                    }
                    values[static_cast<int>(p.role)] = scaled(value, p.type, p.role);
                }
                at += size_of(p.type);
                continue;
            }
            const std::int64_t n = integer_at(body.data + at, p.count_type, body.big);
            at += size_of(p.count_type);
            const std::size_t item = size_of(p.type);
            if (p.role == Role::corners) {
                faces.corner = 0;
                for (std::int64_t k = 0; k < n; ++k, at += item) {
                    faces.add(integer_at(body.data + at, p.type, body.big), path, place,
                              static_cast<std::uint32_t>(i + 1));
                }
            } else {
                at += static_cast<std::size_t>(n) * item;
            }
        }
        if (is_vertex) add_vertex(mesh, header, values, path, place);
    }
}

}  // namespace

MeshSource parse_ply_mesh(const std::string& bytes, const std::string& path,
                          std::size_t max_triangles) {
    const Header header = read_header(bytes, path);
    if (header.face < 0 || header.elements[header.face].count == 0) fail(path, "no faces");
    check_counts(header, bytes.size() - header.body, path);

    MeshSource mesh;
    const Element* vertex = header.vertex >= 0 ? &header.elements[header.vertex] : nullptr;
    const Element& face = header.elements[header.face];
    const std::size_t vertices = vertex != nullptr ? static_cast<std::size_t>(vertex->count) : 0;
    mesh.positions.reserve(vertices);
    mesh.position_origins.reserve(vertices);
    if (header.normals) mesh.normals.reserve(vertices);
    if (header.colours) mesh.colours.reserve(vertices);
    FaceSink faces{mesh, vertices, header.normals, max_triangles};

    if (header.format == Format::ascii) {
        // A face gives at least one triangle; the count past the limit is known only at the end.
        const std::size_t least = static_cast<std::size_t>(
            std::min<std::uint64_t>(face.count, static_cast<std::uint64_t>(max_triangles)));
        mesh.triangles.reserve(least);
        mesh.origins.reserve(least);
        read_text_body(bytes, header, mesh, faces, path);
        if (faces.triangles > max_triangles) fail_too_many(path, faces.triangles, max_triangles);
        return mesh;
    }

    const BinaryBody body{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                          header.format == Format::big_endian};
    const Layout layout = lay_out(body, header, path);
    if (layout.triangles > max_triangles) fail_too_many(path, layout.triangles, max_triangles);
    mesh.triangles.reserve(static_cast<std::size_t>(layout.triangles));
    mesh.origins.reserve(static_cast<std::size_t>(layout.triangles));
    mesh.origin_kind = "face";
    if (vertex != nullptr) {
        read_binary_element(body, layout.starts[header.vertex], *vertex, true, header, mesh, faces,
                            path);
    }
    read_binary_element(body, layout.starts[header.face], face, false, header, mesh, faces, path);
    return mesh;
}

}  // namespace tmhost
