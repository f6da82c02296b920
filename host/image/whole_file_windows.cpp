#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include "host/image/whole_file.h"
#include "host/image/whole_file_shared.h"

namespace tmhost {

std::uint64_t files::process_number() { return static_cast<std::uint64_t>(_getpid()); }

int files::create_new(const std::string& name) {
    return _open(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}

// Windows keeps no modes to carry over: a file's permissions are its folder's.
std::FILE* files::new_file_stream(int descriptor, const std::string&) {
    std::FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) {
        const int error = errno;  // the caller's message says why _fdopen failed, not _close
        _close(descriptor);
        errno = error;
    }
    return file;
}

bool files::commit_to_disk(std::FILE* file) { return _commit(_fileno(file)) == 0; }

bool files::move_over(const std::string& from, const std::string& to) {
    // The C runtime's rename refuses an existing target on Windows.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    errno = EACCES;
    return false;
}

// A device (NUL, CON) or a pipe, asked of the system without opening it for reading or writing:
// the C library's stat answers "no access" for those.
bool files::is_system_stream(const std::string& target) {
    HANDLE handle = CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

std::FILE* files::open_stream(const std::string&, const std::string& target) {
    return std::fopen(target.c_str(), "r+b");
}

// Windows answers "no access" for a device (NUL, CON) that takes writes all the same: its write
// reports what fails.
bool files::stream_writable(const std::string&) { return true; }

void files::binary_standard_input() { _setmode(_fileno(stdin), _O_BINARY); }

}  // namespace tmhost
