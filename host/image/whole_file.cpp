#include "host/image/whole_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tmhost {

namespace {

// Unique among the threads and processes that might write the same target at once.
std::string temporary_name(const std::string& path) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const long process = _getpid();
#else
    const long process = getpid();
#endif
    return path + ".partial-" + std::to_string(process) + "-" + std::to_string(counter++);
}

// Data on the disk before the rename, so that a crash cannot leave an empty file under the
// final name.
bool flush_to_disk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

bool move_over(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // The C runtime's rename refuses an existing target on Windows.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    errno = EACCES;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

std::string size_text(std::size_t bytes) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    return bytes != 0 && bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                                           : std::to_string(bytes) + " bytes";
}

[[noreturn]] void write_failed(const std::string& path, const std::string& temporary, int error) {
    std::remove(temporary.c_str());
    throw FileError(path + ": cannot write: " + std::strerror(error));
}

}  // namespace

void replace_file(const std::string& path, const std::string& bytes) {
    const std::string temporary = temporary_name(path);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) throw FileError(path + ": cannot write: " + std::strerror(errno));
    const bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && flush_to_disk(file);
    int error = written ? 0 : errno;
    const bool closed = std::fclose(file) == 0;
    if (written && !closed) error = errno;
    if (!written || !closed) write_failed(path, temporary, error != 0 ? error : EIO);
    if (!move_over(temporary, path)) write_failed(path, temporary, errno);
}

std::string read_file(const std::string& path, std::size_t max_bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw FileError(path + ": cannot read: " + std::strerror(errno));
    std::string bytes;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (count > max_bytes - bytes.size()) {
            std::fclose(file);
            throw FileError(path + ": cannot read: more than " + size_text(max_bytes));
        }
        bytes.append(buffer, count);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) throw FileError(path + ": cannot read: " + std::strerror(error != 0 ? error : EIO));
    return bytes;
}

}  // namespace tmhost
