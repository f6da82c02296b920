// Paths of members and elements of a JSON document, as messages show them: "objects[2].radius".
#ifndef TMHOST_JSON_PATHS_H
#define TMHOST_JSON_PATHS_H

#include <cstddef>
#include <string>

namespace tmhost {

std::string member_path(const std::string& parent, const std::string& key);
std::string element_path(const std::string& parent, std::size_t index);

// The start of a message about a path: the path itself, or "top level" for the whole document.
std::string path_label(const std::string& path);

}  // namespace tmhost

#endif
