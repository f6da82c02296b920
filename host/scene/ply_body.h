// The vertices and faces of a PLY file's body as they arrive, whichever form the body takes.
#ifndef TMHOST_PLY_BODY_H
#define TMHOST_PLY_BODY_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/scene/mesh_source.h"
#include "host/scene/ply_header.h"

namespace tmhost::ply {

[[noreturn]] void fail_too_many(const std::string& path, std::uint64_t triangles,
                                std::size_t max_triangles);

void check_corner_count(std::int64_t corners, const std::string& path, const Place& place);

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

    void add(std::int64_t index, const std::string& path, const Place& place, std::uint32_t origin);
};

// A vertex's values by role: positions and normals as the file gives them, colours already
// brought to 0 to 1 for the integer types.
using VertexValues = std::array<double, kRoles>;

double scaled(double value, Type type, Role role);

void add_vertex(MeshSource& mesh, const Header& header, const VertexValues& v,
                const std::string& path, const Place& place);

// The body of a text file, one line an instance; the triangles past the sink's limit only counted.
void read_text_body(const std::string& bytes, const Header& header, MeshSource& mesh,
                    FaceSink& faces, const std::string& path);

// The body of a binary file: laid out and held against the file's size, then read. Throws for
// more triangles than the sink's limit before anything is reserved for them.
void read_binary_body(const std::string& bytes, const Header& header, MeshSource& mesh,
                      FaceSink& faces, const std::string& path);

}  // namespace tmhost::ply

#endif
