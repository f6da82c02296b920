// What is checked of a glTF file before the glTF library reads it: the .glb container, the
// JSON's nesting, the extensions it requires, where its buffers come from, and the numbers the
// library would silently cut to fit its integer types. The library trusts all of these.
#ifndef TMHOST_GLTF_DOCUMENT_H
#define TMHOST_GLTF_DOCUMENT_H

#include <string>

namespace tmhost {

// The JSON chunk of a .glb, once its header and chunk lengths are found within the file. Throws
// SceneError "<path>: truncated: ..." and the like.
std::string glb_json_chunk(const std::string& bytes, const std::string& path);

// Throws SceneError "<path>: what" for malformed or too deeply nested JSON, a required extension
// that changes the geometry and is not read ("<path>: needs the extension
// KHR_draco_mesh_compression, which tonemix-host does not read"), a buffer named by an absolute
// path or a URI scheme other than data:, an index or length that is not a whole number within
// 32 bits, and an image's buffer view past its buffer. `binary`: the JSON of a .glb.
void check_gltf_document(const std::string& json_text, bool binary, const std::string& path);

}  // namespace tmhost

#endif
