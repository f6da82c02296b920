#include "host/scene/input_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

[[noreturn]] void cannot_read(const std::string& path, const std::string& reason) {
    throw SceneError(path + ": cannot read: " + reason);
}

std::string size_text(std::size_t bytes) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    return bytes != 0 && bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                                           : std::to_string(bytes) + " bytes";
}

#ifdef _WIN32
// 64-bit sizes, so that a file past 2 GiB is measured, not an error of its own.
using FileStatus = struct _stati64;
int status_of(int descriptor, FileStatus& status) { return _fstati64(descriptor, &status); }
bool is_regular(const FileStatus& status) { return (status.st_mode & _S_IFMT) == _S_IFREG; }

std::string not_a_file(const FileStatus& status) {
    switch (status.st_mode & _S_IFMT) {
    case _S_IFDIR:
        return "a folder, not a file";
    case _S_IFCHR:
        return "a device, not a file";
    case _S_IFIFO:
        return "a pipe, not a file";
    default:
        return "not a file";
    }
}

int open_for_reading(const std::string& path) {
    // The C runtime's open refuses a folder with "Permission denied": its status says more.
    FileStatus status{};
    if (_stati64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR) {
        cannot_read(path, not_a_file(status));
    }
    return _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int read_some(int descriptor, char* buffer, std::size_t size) {
    return _read(descriptor, buffer, static_cast<unsigned>(size));
}
void close_file(int descriptor) { _close(descriptor); }
#else
// The large-file calls of the 32-bit build: a file past 2 GiB is measured and refused for its
// size, not for the system's "Value too large for defined data type".
using FileStatus = struct stat64;
int status_of(int descriptor, FileStatus& status) { return fstat64(descriptor, &status); }
bool is_regular(const FileStatus& status) { return S_ISREG(status.st_mode); }

std::string not_a_file(const FileStatus& status) {
    if (S_ISDIR(status.st_mode)) return "a folder, not a file";
    if (S_ISFIFO(status.st_mode)) return "a FIFO, not a file";
    if (S_ISCHR(status.st_mode)) return "a character device, not a file";
    if (S_ISBLK(status.st_mode)) return "a block device, not a file";
    if (S_ISSOCK(status.st_mode)) return "a socket, not a file";
    return "not a file";
}

int open_for_reading(const std::string& path) {
    // Without waiting: opening a FIFO for reading would wait for its writer.
    const int descriptor =
        open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_LARGEFILE);
    if (descriptor < 0 && errno == ENXIO) {
        // A socket cannot be opened at all; its status names it.
        const int error = errno;
        FileStatus status{};
        if (stat64(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode)) {
            cannot_read(path, not_a_file(status));
        }
        errno = error;
    }
    return descriptor;
}

int read_some(int descriptor, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t count = read(descriptor, buffer, size);
        if (count >= 0 || errno != EINTR) return static_cast<int>(count);
    }
}
void close_file(int descriptor) { close(descriptor); }
#endif

// Closes the descriptor on every way out.
class OpenFile {
public:
    explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
    ~OpenFile() { close_file(descriptor_); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int get() const { return descriptor_; }

private:
    const int descriptor_;
};

}  // namespace

std::string read_input_file(const std::string& path, std::size_t max_bytes) {
    const int descriptor = open_for_reading(path);
    if (descriptor < 0) cannot_read(path, std::strerror(errno));
    const OpenFile file(descriptor);
    FileStatus status{};
    if (status_of(file.get(), status) != 0) cannot_read(path, std::strerror(errno));
    if (!is_regular(status)) cannot_read(path, not_a_file(status));
    const std::string too_long = "more than " + size_text(max_bytes);
    // A regular file's size is no promise (a file of /proc says 0, and a file may grow while it
    // is read): the reading below stops at the limit too.
    if (status.st_size > 0 && static_cast<unsigned long long>(status.st_size) > max_bytes) {
        cannot_read(path, too_long);
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
        const int count = read_some(file.get(), buffer, sizeof buffer);
        if (count < 0) cannot_read(path, std::strerror(errno));
        if (count == 0) break;
        if (static_cast<std::size_t>(count) > max_bytes - bytes.size()) cannot_read(path, too_long);
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

}  // namespace tmhost
