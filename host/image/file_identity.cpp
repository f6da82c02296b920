#include "host/image/file_identity.h"

#include <filesystem>
#include <system_error>

namespace tmhost {

namespace fs = std::filesystem;

void FilesRead::add(const std::string& path, const std::string& what) {
    if (const std::optional<FileIdentity> identity = file_identity(path)) {
        entries_.push_back({*identity, what});
    }
}

void FilesRead::add_folder(const std::string& folder, const std::string& what) {
    std::error_code error;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied,
                                           error);
    int files = 0;
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (!entry->is_regular_file(error)) continue;
        if (++files > kMostFolderFiles) break;
        const fs::path inside = entry->path().lexically_relative(fs::path(folder).parent_path());
        add(entry->path().string(), what + inside.generic_string());
    }
}

std::optional<std::string> FilesRead::named_by(const std::string& path) const {
    const std::optional<FileIdentity> identity = file_identity(path);
    if (!identity) return std::nullopt;
    for (const Entry& entry : entries_) {
        if (entry.identity == *identity) return entry.what;
    }
    return std::nullopt;
}

}  // namespace tmhost
