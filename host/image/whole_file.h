// Whole files in and out. A file is written under a temporary name in its own folder and renamed
// over the target only once it is complete, so a reader never sees half an image and a failed
// write leaves any earlier file as it was.
#pragma once

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

// Throws FileError "<path>: cannot read: <reason>".
std::string read_file(const std::string& path);

}  // namespace tmhost
