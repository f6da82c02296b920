#include "host/scene/input_descriptor.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

// 64-bit sizes, so that a file past 2 GiB is measured, not an error of its own.
using FileStatus = struct _stati64;

std::string not_a_file(const FileStatus& status) {
    switch (status.st_mode & _S_IFMT) {
    case _S_IFREG:
        return std::string();
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

}  // namespace

int input::open_for_reading(const std::string& path) {
    // The C runtime's open refuses a folder with "Permission denied": its status says more.
    FileStatus status{};
    if (_stati64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR) {
        throw SceneError(path + ": cannot read: " + not_a_file(status));
    }
    return _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int input::status_of(int descriptor, Status& status) {
    FileStatus file{};
    if (_fstati64(descriptor, &file) != 0) return -1;
    status.size = static_cast<long long>(file.st_size);
    status.not_a_file = not_a_file(file);
    return 0;
}

int input::read_some(int descriptor, char* buffer, std::size_t size) {
    return _read(descriptor, buffer, static_cast<unsigned>(size));
}

void input::close_file(int descriptor) { _close(descriptor); }

}  // namespace tmhost
