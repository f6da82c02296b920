// Whole files in and out. A file is written under a temporary name in its own folder and renamed
// over the target only once it is complete, so a reader never sees half an image and a failed
// write leaves any earlier file as it was.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace tmhost {

// A file that could not be read, written or understood; the message names it.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws FileError "<path>: cannot write: <reason>"; the temporary file is removed on failure.
void replace_file(const std::string& path, const std::string& bytes);

// The most read_file reads unless told otherwise: far more than any scene file holds. A reader
// must stop somewhere: a path may name an endless file such as /dev/zero.
constexpr std::size_t kMaxReadBytes = std::size_t{64} << 20;

// Throws FileError "<path>: cannot read: <reason>", and "<path>: cannot read: more than 64 MiB"
// (or "... more than N bytes") as soon as the file proves longer than max_bytes.
std::string read_file(const std::string& path, std::size_t max_bytes = kMaxReadBytes);

}  // namespace tmhost
