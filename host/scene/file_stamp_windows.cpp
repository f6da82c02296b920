#include "host/scene/file_stamp.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <windows.h>

namespace tmhost {

namespace {

// A FILETIME counts 100 ns steps; the stamp is only compared, so its epoch does not matter.
std::int64_t nanoseconds(const FILETIME& time) {
    const std::uint64_t steps =
        (std::uint64_t{time.dwHighDateTime} << 32) | std::uint64_t{time.dwLowDateTime};
    return static_cast<std::int64_t>(steps) * 100;
}

}  // namespace

FileStamp file_stamp(const std::string& path) {
    // Looked at, not opened for reading: a file an editor holds open still answers. The C
    // runtime's stat gives whole seconds and no identity, so an edit within a second that kept
    // the size, or a save by rename, would go unseen.
    HANDLE handle =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FileStamp stamp;
    if (handle == INVALID_HANDLE_VALUE) return stamp;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!known) return stamp;
    stamp.exists = true;
    stamp.size =
        (std::uint64_t{information.nFileSizeHigh} << 32) | std::uint64_t{information.nFileSizeLow};
    stamp.modified_ns = nanoseconds(information.ftLastWriteTime);
    stamp.inode = (std::uint64_t{information.nFileIndexHigh} << 32) |
                  std::uint64_t{information.nFileIndexLow};
    stamp.device = information.dwVolumeSerialNumber;
    return stamp;
}

bool is_regular_file(const std::string& path) {
    struct _stat64 status {};
    return _stat64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG;
}

}  // namespace tmhost
