// The files a scene is made of (the scene file, its meshes, a model and the buffers it names),
// read whole. Only a regular file is read: a FIFO would wait for a writer that may never come,
// and a device may never end, so each is refused before a byte is read. The file is opened
// without waiting and asked what it is, so that the name cannot change its meaning in between.
#ifndef TMHOST_INPUT_FILE_H
#define TMHOST_INPUT_FILE_H

#include <cstddef>
#include <string>

namespace tmhost {

// What the scene layer reads of one file at most: far more than any scene or mesh holds.
constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

// The file's bytes. Throws SceneError "<path>: cannot read: <reason>": the system's reason, "a
// FIFO, not a file" (a character device, a block device, a socket, a folder), and "more than 64
// MiB" (or "... more than N bytes") for a file longer than max_bytes, whatever its size on the
// disk, in both builds.
std::string read_input_file(const std::string& path, std::size_t max_bytes = kMaxInputBytes);

}  // namespace tmhost

#endif
