#include "host/image/file_identity.h"

#include <cctype>

#include <windows.h>

namespace tmhost {

namespace {

// Where the file system gives no index (some network shares answer zeros), the full path stands
// in: Windows folds letter case in names, so the comparison does too.
std::optional<FileIdentity> identity_by_full_path(const std::string& path) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return std::nullopt;
    FileIdentity identity;
    identity.full_path.assign(full, length);
    for (char& c : identity.full_path) {
        c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return identity;
}

}  // namespace

std::optional<FileIdentity> file_identity(const std::string& path) {
    // No access asked: the file is looked at, not opened for reading or writing, so a file
    // another program holds open still answers.
    HANDLE handle =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!known || (information.nFileIndexHigh == 0 && information.nFileIndexLow == 0)) {
        return identity_by_full_path(path);
    }
    FileIdentity identity;
    identity.device = information.dwVolumeSerialNumber;
    identity.file = (std::uint64_t{information.nFileIndexHigh} << 32) |
                    std::uint64_t{information.nFileIndexLow};
    return identity;
}

}  // namespace tmhost
