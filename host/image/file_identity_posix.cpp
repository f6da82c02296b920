#include "host/image/file_identity.h"

#include <sys/stat.h>

namespace tmhost {

std::optional<FileIdentity> file_identity(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return std::nullopt;
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.file = static_cast<std::uint64_t>(status.st_ino);
    return identity;
}

}  // namespace tmhost
