// Scene text to a JSON tree. Syntax errors name the line and column of the text; a key written
// twice in one object is an error (a plain JSON reader would silently keep one of the two).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace tmhost {

// Throws SceneError: "line L, column C: malformed JSON: <what>" or "<path>: key \"k\" appears
// twice". Lines and columns count from 1; a column counts bytes.
nlohmann::json parse_json_document(const std::string& text);

// Path of a member or an element, as error messages show it: "objects[2].radius".
std::string member_path(const std::string& parent, const std::string& key);
std::string element_path(const std::string& parent, std::size_t index);

// The start of a message about a path: the path itself, or "top level" for the whole document.
std::string path_label(const std::string& path);

}  // namespace tmhost
