#include "host/scene/input_descriptor.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

// The large-file calls of the 32-bit build: a file past 2 GiB is measured and refused for its
// size, not for the system's "Value too large for defined data type".
using FileStatus = struct stat64;

std::string not_a_file(const FileStatus& status) {
    if (S_ISREG(status.st_mode)) return std::string();
    if (S_ISDIR(status.st_mode)) return "a folder, not a file";
    if (S_ISFIFO(status.st_mode)) return "a FIFO, not a file";
    if (S_ISCHR(status.st_mode)) return "a character device, not a file";
    if (S_ISBLK(status.st_mode)) return "a block device, not a file";
    if (S_ISSOCK(status.st_mode)) return "a socket, not a file";
    return "not a file";
}

}  // namespace

int input::open_for_reading(const std::string& path) {
    // Without waiting: opening a FIFO for reading would wait for its writer.
    const int descriptor =
        open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_LARGEFILE);
    if (descriptor < 0 && errno == ENXIO) {
        // A socket cannot be opened at all; its status names it.
        const int error = errno;
        FileStatus status{};
        if (stat64(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode)) {
            throw SceneError(path + ": cannot read: " + not_a_file(status));
        }
        errno = error;
    }
    return descriptor;
}

int input::status_of(int descriptor, Status& status) {
    FileStatus file{};
    if (fstat64(descriptor, &file) != 0) return -1;
    status.size = static_cast<long long>(file.st_size);
    status.not_a_file = not_a_file(file);
    return 0;
}

int input::read_some(int descriptor, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t count = read(descriptor, buffer, size);
        if (count >= 0 || errno != EINTR) return static_cast<int>(count);
    }
}

void input::close_file(int descriptor) { close(descriptor); }

}  // namespace tmhost
