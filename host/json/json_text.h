// JSON text to a tree, within limits. The host reads JSON that users and modules hand it, and no
// such text may exhaust its memory or its stack: the tree is built from nlohmann's event stream,
// which keeps no frame per level, and nesting deeper than a limit is refused before it is built
// (copying, comparing or printing a tree recurses once per level). Every fault of the text names
// its place.
#ifndef TMHOST_JSON_TEXT_H
#define TMHOST_JSON_TEXT_H

#include <cstddef>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace tmhost {

// Far deeper than any scene or description needs, far shallower than any stack allows.
constexpr std::size_t kMaxJsonDepth = 64;

// A fault of the text, in one line that says where it is.
class JsonTextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An array under `key` of the top-level object whose items past the first `most` + 1 are read (the
// text must still be sound JSON to its end) but not built: a reader that refuses more than `most`
// of them needs neither the tree's memory nor its time for a text that holds millions. `count`
// receives how many items the text holds.
struct ArrayCap {
    const char* key = nullptr;  // none
    std::size_t most = 0;
    std::size_t* count = nullptr;
};

struct JsonLimits {
    std::size_t max_depth = kMaxJsonDepth;  // arrays and objects open at once
    bool unique_keys = false;  // a key twice in one object is a fault; else the last counts
    ArrayCap cap;
};

// Throws JsonTextError: "line L, column C: malformed JSON: <what>" (a number beyond a double's
// range too), "line L, column C: nested more than N levels deep" at the bracket that opens one
// level too many, or, with unique keys, "line L, column C: <path>: key \"k\" appears twice" at
// the second key's opening quote. Lines and columns count from 1; a column counts bytes.
nlohmann::json parse_json_text(const std::string& text, const JsonLimits& limits = {});

}  // namespace tmhost

#endif
