#include "host/scene/ply_header.h"

#include <algorithm>

#include "host/scene/obj_numbers.h"
#include "host/scene/scene_error.h"

namespace tmhost::ply {

void fail(const std::string& path, const std::string& what) {
    throw SceneError(path + ": " + what);
}

void fail_line(const std::string& path, std::size_t line, const std::string& what) {
    fail(path, "line " + std::to_string(line) + ": " + what);
}

void fail_at(const std::string& path, const Place& place, const std::string& what) {
    fail(path, std::string(place.kind) + " " + std::to_string(place.number) + ": " + what);
}

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

const char* type_name(Type type) {
    static const char* const kNames[] = {"char", "uchar", "short", "ushort",
                                         "int",  "uint",  "float", "double"};
    return kNames[static_cast<int>(type)];
}

std::size_t size_of(Type type) {
    static const unsigned char kSizes[] = {1, 1, 2, 2, 4, 4, 4, 8};
    return kSizes[static_cast<int>(type)];
}

std::string_view next_line(const std::string& bytes, std::size_t& at) {
    const std::size_t end = bytes.find('\n', at);
    const std::size_t stop = end == std::string::npos ? bytes.size() : end;
    std::string_view line(bytes.data() + at, stop - at);
    at = end == std::string::npos ? bytes.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

namespace {

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

}  // namespace

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

}  // namespace tmhost::ply
