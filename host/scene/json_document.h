// Scene text to a JSON tree. Syntax errors name the line and column of the text; a key written
// twice in one object is an error (a plain JSON reader would silently keep one of the two); so is
// nesting deeper than any scene needs.
#ifndef TMHOST_JSON_DOCUMENT_H
#define TMHOST_JSON_DOCUMENT_H

#include <string>

#include <nlohmann/json.hpp>

#include "host/json/json_paths.h"
#include "host/json/json_text.h"

namespace tmhost {

// Throws SceneError: "line L, column C: malformed JSON: <what>", "line L, column C: nested more
// than 64 levels deep" or "<path>: key \"k\" appears twice". Lines and columns count from 1; a
// column counts bytes. `cap` leaves the items of one top-level array past a count unbuilt.
nlohmann::json parse_json_document(const std::string& text, const ArrayCap& cap = {});

}  // namespace tmhost

#endif
