// Whole files in and out. A file is written under a short temporary name (".tmx-" and six
// letters, so that any name the system allows still fits) in its own folder and renamed over the
// target only once it is complete, so a reader never sees half an image and a failed write leaves
// any earlier file as it was. A path that is a symbolic link is written through: the file the
// link names is replaced and the link stays. The new file keeps the permissions of the one it
// replaces (and its owner, where the process may set it); a file new to the folder gets 0666 less
// the umask. A signal that ends the process mid-write removes the temporary file first, and each
// write removes the temporary files of earlier writes that were cut short (temporary_files.h).
//
// Only a regular file, or a name that does not exist yet, is ever replaced. A FIFO or a character
// device (a pipe a viewer reads, a terminal, /dev/null; on Windows, NUL or a pipe) is written
// through as a stream, and is never renamed over: replacing it would destroy the node. Anything
// else (a folder, a socket, a block device) is refused.
#ifndef TMHOST_WHOLE_FILE_H
#define TMHOST_WHOLE_FILE_H

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
// For a stream target, StreamWriteError: the bytes went out in part, or not at all.
void replace_file(const std::string& path, const std::string& bytes);

// A write to a FIFO or a device that failed after it began: part of the output may have gone.
class StreamWriteError : public FileError {
public:
    using FileError::FileError;
};

// The file that replace_file(path) replaces: `path` itself, or the file a symbolic link names
// (through every link on the way), which need not exist yet. Throws FileError "<path>: cannot
// write: <reason>" for links that cannot be read or that go round in a loop.
std::string write_target(const std::string& path);

// Writes and removes a temporary file where replace_file(path) would put one, so that a folder
// that takes no file (or a full disk) is found before the work whose result goes there; a stream
// target is only checked for write permission. Throws FileError as replace_file does, and
// "<path>: cannot write: a folder, not a file" (a socket, a block device) for a target that is
// neither a file nor a stream.
void check_writable(const std::string& path);

// The most read_file reads unless told otherwise: far more than any scene file holds. A reader
// must stop somewhere: a path may name an endless file such as /dev/zero.
constexpr std::size_t kMaxReadBytes = std::size_t{64} << 20;

// Throws FileError "<path>: cannot read: <reason>", and "<path>: cannot read: more than 64 MiB"
// (or "... more than N bytes") as soon as the file proves longer than max_bytes.
std::string read_file(const std::string& path, std::size_t max_bytes = kMaxReadBytes);

// All of standard input, read as read_file reads a file; FileError "standard input: cannot read:
// <reason>".
std::string read_standard_input(std::size_t max_bytes = kMaxReadBytes);

}  // namespace tmhost

#endif
