#include "host/scene/file_stamp.h"

#include <sys/stat.h>
#include <sys/types.h>

namespace tmhost {

FileStamp file_stamp(const std::string& path) {
    struct _stat64 status {};
    FileStamp stamp;
    if (_stat64(path.c_str(), &status) != 0) return stamp;
    stamp.exists = true;
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.modified_ns = static_cast<std::int64_t>(status.st_mtime) * 1000000000;
    return stamp;
}

bool is_regular_file(const std::string& path) {
    struct _stat64 status {};
    return _stat64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG;
}

}  // namespace tmhost
