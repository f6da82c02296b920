// Which file a path names, whatever name reaches it: a relative or an absolute path, a symbolic
// link, a hard link, another spelling of the same folders. An output is refused when it is a file
// the command reads (the module, its resources, the scene and its meshes): replacing it would
// destroy what the command is working from, and a path compared as text misses every other name
// of the same file.
#ifndef TMHOST_FILE_IDENTITY_H
#define TMHOST_FILE_IDENTITY_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tmhost {

// The system's own name of a file: its device and inode (on Windows, its volume's serial number
// and its file index; where the system gives none, its full path in lower case).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::string full_path;  // only where the system gives no file index

    bool operator==(const FileIdentity& other) const {
        return device == other.device && file == other.file && full_path == other.full_path;
    }
};

// The identity of the file `path` names, through every link; none when there is no such file
// (a name not yet written) or it cannot be looked at.
std::optional<FileIdentity> file_identity(const std::string& path);

// The files a command reads while it runs, each with the words that name it in a refusal.
class FilesRead {
public:
    // The file `path` names, if there is one, as `what` ("the module file").
    void add(const std::string& path, const std::string& what);
    // Every file in `folder` and its subfolders, each as `what` and its path within the folder
    // ("the module's res/description/Xtonemix.json"). Stops after kMostFolderFiles files: a
    // folder of a module is small, and a command must not take minutes to look at a huge one.
    void add_folder(const std::string& folder, const std::string& what);

    // What `path` would destroy if written: "the module file", or none when it names no file
    // read (or none at all yet).
    std::optional<std::string> named_by(const std::string& path) const;

    static constexpr int kMostFolderFiles = 10000;

private:
    struct Entry {
        FileIdentity identity;
        std::string what;
    };
    std::vector<Entry> entries_;
};

}  // namespace tmhost

#endif
