#include "host/image/temporary_files.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tmhost {

namespace fs = std::filesystem;

namespace {

constexpr auto kStaleAfter = std::chrono::minutes(1);
// Names looked at in one folder before the clean-up gives up: a temporary file of ours is found
// among a few thousand names at once, and /tmp may hold far more.
constexpr int kMostNamesLooked = 100000;

}  // namespace

bool temporary_name(const std::string& name) {
    const std::size_t prefix = std::strlen(kTemporaryPrefix);
    if (name.size() != prefix + kTemporaryLetters || name.compare(0, prefix, kTemporaryPrefix)) {
        return false;
    }
    for (std::size_t i = prefix; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) return false;
    }
    return true;
}

void remove_stale_temporaries(const std::string& folder) {
    std::error_code error;
    fs::directory_iterator entry(folder.empty() ? fs::path(".") : fs::path(folder), error);
    const fs::file_time_type before = fs::file_time_type::clock::now() - kStaleAfter;
    int looked = 0;
    for (; !error && entry != fs::directory_iterator() && looked < kMostNamesLooked;
         entry.increment(error), ++looked) {
        std::error_code ignored;
        if (!temporary_name(entry->path().filename().string())) continue;
        // Never through a link: only a file of our own making is ours to remove.
        if (!fs::is_regular_file(entry->symlink_status(ignored))) continue;
        const fs::file_time_type written = fs::last_write_time(entry->path(), ignored);
        if (!ignored && written < before) fs::remove(entry->path(), ignored);
    }
}

}  // namespace tmhost
