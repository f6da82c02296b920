#include "host/scene/obj_mesh.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "host/scene/input_file.h"
#include "host/scene/json_fields.h"
#include "host/scene/mesh_text.h"
#include "host/scene/obj_numbers.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

[[noreturn]] void fail_line(const std::string& path, std::size_t line, const std::string& what) {
    fail_at_line(path, line, what);
}

[[noreturn]] void fail_file(const std::string& path, const std::string& what) {
    throw SceneError(path + ": " + what);
}

// A face corner as the file gives it, resolved to indices from 0 (-1: no normal).
struct Corner {
    long vertex = -1;
    long normal = -1;
};

// The statements of the file that the mesh is made of, each with its line, read in one pass that
// refuses every malformed number, unknown statement and index out of range: a broken file must
// not come out as a wrong mesh without a word.
struct CheckedText {
    std::vector<Vec3> vertices;  // as the file gives them
    std::vector<std::size_t> vertex_lines;
    std::vector<Colour> colours;        // one per vertex once any vertex has one
    std::vector<std::size_t> coloured;  // the vertices that have one
    std::vector<Vec3> normals;          // as the file gives them
    std::vector<std::size_t> normal_lines;
    std::vector<std::size_t> face_lines;
    std::vector<std::size_t> face_starts;  // into corners, one per face
    std::vector<Corner> corners;
};

// The statements of the format that carry nothing a mesh needs: checked for nothing, ignored
// (free-form curves and surfaces, groups, materials, display attributes).
bool is_ignored_statement(std::string_view keyword) {
    static const char* const kIgnored[] = {
        "vt",     "vp",     "l",      "p",        "g",        "o",    "s",          "mg",
        "usemtl", "mtllib", "usemap", "maplib",   "cstype",   "deg",  "bmat",       "step",
        "curv",   "curv2",  "surf",   "parm",     "trim",     "hole", "scrv",       "sp",
        "end",    "con",    "bevel",  "c_interp", "d_interp", "lod",  "shadow_obj", "trace_obj",
        "ctech",  "stech",  "vw",     "t"};
    return std::find(std::begin(kIgnored), std::end(kIgnored), keyword) != std::end(kIgnored);
}

void check_number(std::string_view token, const std::string& path, std::size_t line) {
    check_decimal(token, path, line);
    if (!decimal_in_range(token)) {
        fail_line(path, line, "number out of range: " + quoted_token(token));
    }
}

// A statement's fields after its keyword (the line's first field).
struct Arguments {
    const LineFields& fields;

    std::size_t size() const { return fields.size() - 1; }
    std::string_view operator[](std::size_t i) const { return fields[i + 1]; }
    const std::string_view* begin() const { return fields.begin() + 1; }
    const std::string_view* end() const { return fields.end(); }
};

void check_numbers(const Arguments& fields, std::size_t least, std::size_t most, const char* what,
                   const std::string& path, std::size_t line) {
    if (fields.size() < least || fields.size() > most) {
        fail_line(
            path, line,
            std::string("expected ") + what + ", got " + std::to_string(fields.size()) + " fields");
    }
    for (const std::string_view field : fields) check_number(field, path, line);
}

Vec3 first_three(const Arguments& fields) {
    return {decimal_value(fields[0]), decimal_value(fields[1]), decimal_value(fields[2])};
}

// A face corner's index: 1 up to the count, or -1 down to minus the count so far.
long read_index(std::string_view text, long so_far, const char* what, const std::string& path,
                std::size_t line) {
    long index = 0;
    if (!short_integer(text, index)) {
        fail_line(path, line,
                  std::string("expected a ") + what + " index, got " + quoted_token(text));
    }
    if (index == 0) fail_line(path, line, std::string(what) + " index 0 (indices count from 1)");
    if (index < 0) {
        if (-index > so_far) {
            fail_line(path, line,
                      std::string(what) + " index " + std::to_string(index) + " out of range (" +
                          std::to_string(so_far) + " before this line)");
        }
        return so_far + index;
    }
    return index - 1;  // checked against the whole file's count at its end
}

void read_face(const Arguments& fields, const CheckedText& text, CheckedText& out,
               const std::string& path, std::size_t line) {
    if (fields.size() < 3) fail_line(path, line, "a face needs at least 3 corners");
    if (fields.size() > kMaxFaceCorners) {
        fail_line(path, line,
                  "a face of more than " + std::to_string(kMaxFaceCorners) + " corners");
    }
    out.face_lines.push_back(line);
    out.face_starts.push_back(out.corners.size());
    for (const std::string_view field : fields) {
        // vertex, vertex/texture, vertex//normal or vertex/texture/normal
        std::string_view parts[3];
        std::size_t count = 0;
        std::size_t start = 0;
        for (;;) {
            const std::size_t slash = field.find('/', start);
            if (count == 3) fail_line(path, line, "malformed face corner " + quoted_token(field));
            parts[count++] =
                field.substr(start, slash == std::string_view::npos ? slash : slash - start);
            if (slash == std::string_view::npos) break;
            start = slash + 1;
        }
        Corner corner;
        corner.vertex =
            read_index(parts[0], static_cast<long>(text.vertex_lines.size()), "vertex", path, line);
        if (count >= 2 && !parts[1].empty()) {
            read_index(parts[1], 1L << 30, "texture coordinate", path, line);
        } else if (count == 2) {
            fail_line(path, line, "malformed face corner " + quoted_token(field));
        }
        if (count == 3) {
            corner.normal = read_index(parts[2], static_cast<long>(text.normal_lines.size()),
                                       "normal", path, line);
        }
        out.corners.push_back(corner);
    }
}

CheckedText check_text(const std::string& text, const std::string& path) {
    CheckedText out;
    bool seen_statement = false;
    TextLines lines(text);
    LineFields all_fields;
    std::string_view content;
    while (lines.next(content)) {
        const std::size_t line = lines.number();
        all_fields.split(content);
        if (all_fields.empty() || all_fields[0][0] == '#') continue;
        const std::string_view keyword = all_fields[0];
        const Arguments fields{all_fields};
        // A file that opens with no statement of OBJ's is some other file, whose content a message
        // must not show (a mesh named /etc/passwd would print its first line).
        if (!seen_statement && !is_ignored_statement(keyword) && keyword != "v" &&
            keyword != "vn" && keyword != "vt" && keyword != "f") {
            fail_file(path, "not a Wavefront OBJ file");
        }
        if (content.find('\0') != std::string_view::npos) fail_line(path, line, "a NUL byte");
        if (keyword == "v") {
            // x y z, with w or with a colour after them
            if (fields.size() == 5) fail_line(path, line, "expected 3, 4 or 6 numbers, got 5");
            check_numbers(fields, 3, 6, "3, 4 or 6 numbers", path, line);
            if (fields.size() == 6) {
                out.coloured.push_back(out.vertices.size());
                out.colours.push_back({static_cast<float>(decimal_value(fields[3])),
                                       static_cast<float>(decimal_value(fields[4])),
                                       static_cast<float>(decimal_value(fields[5]))});
            }
            out.vertices.push_back(first_three(fields));
            out.vertex_lines.push_back(line);
        } else if (keyword == "vn") {
            check_numbers(fields, 3, 3, "3 numbers", path, line);
            out.normals.push_back(first_three(fields));
            out.normal_lines.push_back(line);
        } else if (keyword == "vt") {
            check_numbers(fields, 1, 3, "1 to 3 numbers", path, line);
        } else if (keyword == "f") {
            read_face(fields, out, out, path, line);
        } else if (!is_ignored_statement(keyword)) {
            fail_line(path, line, "unknown statement " + quoted_token(keyword));
        }
        seen_statement = true;
    }
    // Positive indices may point past their line; they must exist at the end.
    for (std::size_t f = 0; f < out.face_starts.size(); ++f) {
        const std::size_t end =
            f + 1 < out.face_starts.size() ? out.face_starts[f + 1] : out.corners.size();
        for (std::size_t c = out.face_starts[f]; c < end; ++c) {
            const Corner& corner = out.corners[c];
            if (corner.vertex >= static_cast<long>(out.vertex_lines.size())) {
                fail_line(path, out.face_lines[f],
                          "vertex index " + std::to_string(corner.vertex + 1) + " out of range (" +
                              std::to_string(out.vertex_lines.size()) + " vertices)");
            }
            if (corner.normal >= static_cast<long>(out.normal_lines.size())) {
                fail_line(path, out.face_lines[f],
                          "normal index " + std::to_string(corner.normal + 1) + " out of range (" +
                              std::to_string(out.normal_lines.size()) + " normals)");
            }
        }
    }
    if (out.face_lines.empty()) fail_file(path, "no faces");
    return out;
}

}  // namespace

MeshSource parse_obj_source(const std::string& text, const std::string& path,
                            std::size_t max_triangles) {
    CheckedText checked = check_text(text, path);
    // Counted before anything is built: a small file of short faces can name millions.
    const std::size_t triangles = checked.corners.size() - 2 * checked.face_starts.size();
    if (triangles > max_triangles) {
        fail_file(path, triangle_limit_text(triangles, max_triangles));
    }
    for (std::size_t i = 0; i < checked.vertices.size(); ++i) {
        if (!is_finite(checked.vertices[i])) {
            fail_line(path, checked.vertex_lines[i], "coordinate out of range");
        }
    }
    MeshSource source;
    source.positions = std::move(checked.vertices);
    source.position_origins.assign(checked.vertex_lines.begin(), checked.vertex_lines.end());
    source.normals = std::move(checked.normals);
    if (!checked.coloured.empty()) {
        // A vertex written without a colour among coloured ones keeps the object's colour.
        source.colours.assign(source.positions.size(), Colour{1.0f, 1.0f, 1.0f});
        for (std::size_t i = 0; i < checked.coloured.size(); ++i) {
            source.colours[checked.coloured[i]] = checked.colours[i];
        }
    }
    source.triangles.reserve(triangles);
    source.origins.reserve(triangles);
    for (std::size_t f = 0; f < checked.face_starts.size(); ++f) {
        const std::size_t first = checked.face_starts[f];
        const std::size_t end = f + 1 < checked.face_starts.size() ? checked.face_starts[f + 1]
                                                                   : checked.corners.size();
        const auto corner = [&](std::size_t c) {
            return MeshCorner{static_cast<std::uint32_t>(checked.corners[c].vertex),
                              static_cast<std::int32_t>(checked.corners[c].normal)};
        };
        for (std::size_t c = first + 1; c + 1 < end; ++c) {
            source.triangles.push_back({corner(first), corner(c), corner(c + 1)});
            source.origins.push_back(static_cast<std::uint32_t>(checked.face_lines[f]));
        }
    }
    return source;
}

std::shared_ptr<const MeshData> parse_obj_mesh(const std::string& text, const std::string& path,
                                               const MeshTransform& transform,
                                               std::size_t max_triangles) {
    return build_mesh(parse_obj_source(text, path, max_triangles), path, transform).data;
}

std::shared_ptr<const MeshData> load_obj_mesh(const std::string& path,
                                              const MeshTransform& transform,
                                              std::size_t max_triangles) {
    const std::string text = read_input_file(path);
    return parse_obj_mesh(text, path, transform, max_triangles);
}

}  // namespace tmhost
