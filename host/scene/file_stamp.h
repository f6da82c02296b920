// What a file on disk is now, cheaply: enough to tell that a scene or a mesh file was edited,
// replaced or removed since it was read, without reading it again.
#ifndef TMHOST_FILE_STAMP_H
#define TMHOST_FILE_STAMP_H

#include <cstdint>
#include <string>

namespace tmhost {

struct FileStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;  // the time of the last change, in the file system's resolution
    // The file's identity: an editor that saves by writing a new file and renaming it over the old
    // one gives a new inode (on Windows, file index and volume) even when size and time agree.
    std::uint64_t inode = 0;
    std::uint64_t device = 0;

    bool operator==(const FileStamp& other) const {
        return exists == other.exists && size == other.size && modified_ns == other.modified_ns &&
               inode == other.inode && device == other.device;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// The stamp of the file `path` names (through links); a file that cannot be looked at has
// exists false.
FileStamp file_stamp(const std::string& path);

// Whether `path` names a regular file (through links): what a scene may be read from without
// waiting on a pipe or a device that never ends.
bool is_regular_file(const std::string& path);

}  // namespace tmhost

#endif
