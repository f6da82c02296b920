#include "host/scene/file_stamp.h"

#include <sys/stat.h>
#include <sys/types.h>

namespace tmhost {

FileStamp file_stamp(const std::string& path) {
    struct stat status {};
    FileStamp stamp;
    if (stat(path.c_str(), &status) != 0) return stamp;
    stamp.exists = true;
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.modified_ns =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    stamp.inode = static_cast<std::uint64_t>(status.st_ino);
    stamp.device = static_cast<std::uint64_t>(status.st_dev);
    return stamp;
}

bool is_regular_file(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace tmhost
