#include "host/image/whole_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "host/image/size_text.h"
#include "host/image/temporary_files.h"
#include "host/image/whole_file_shared.h"

namespace tmhost {

namespace {

namespace fs = std::filesystem;

// As many links as the system itself follows before it gives up on a loop.
constexpr int kMaxLinks = 40;
constexpr int kNameAttempts = 100;

[[noreturn]] void cannot_write(const std::string& path, const std::string& reason) {
    throw FileError(path + ": cannot write: " + reason);
}

// Six letters that differ between the threads and processes that might write into the same
// folder at once, and from one attempt to the next. Lower case, for folders that ignore case.
std::string temporary_letters() {
    static std::atomic<std::uint64_t> counter{0};
    const std::uint64_t process = files::process_number();
    const std::uint64_t time =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    // splitmix64's finaliser spreads every input bit over the letters.
    std::uint64_t mixed = time ^ (process << 32) ^ (counter++ * 0x9e3779b97f4a7c15u);
    mixed = (mixed ^ (mixed >> 30)) * 0xbf58476d1ce4e5b9u;
    mixed = (mixed ^ (mixed >> 27)) * 0x94d049bb133111ebu;
    mixed ^= mixed >> 31;
    std::string letters;
    for (int i = 0; i < kTemporaryLetters; ++i, mixed /= 36)
        letters.push_back("0123456789abcdefghijklmnopqrstuvwxyz"[mixed % 36]);
    return letters;
}

// A new file of its own beside `target`, opened for writing and guarded against signals; null
// with errno set when the folder takes none.
std::FILE* open_temporary(const std::string& target, std::string& name,
                          std::optional<GuardedTemporary>& guard) {
    const fs::path folder = fs::path(target).parent_path();
    remove_stale_temporaries(folder.string());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = (folder / (kTemporaryPrefix + temporary_letters())).string();
        const int descriptor = files::create_new(name);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        // Only once the file is ours: a name taken by another writer must never be removed.
        guard.emplace(name);
        std::FILE* file = files::new_file_stream(descriptor, target);
        if (file == nullptr) {
            const int error = errno;
            std::remove(name.c_str());
            errno = error;
        }
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

// Data on the disk before the rename, so that a crash cannot leave an empty file under the
// final name.
bool flush_to_disk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    return files::commit_to_disk(file);
}

[[noreturn]] void write_failed(const std::string& path, const std::string& temporary, int error) {
    std::remove(temporary.c_str());
    cannot_write(path, std::strerror(error));
}

// The bytes written and the file closed, whatever happens: 0, or the errno of the first failure.
// On disk when `durable`, else at least handed to the system, which is where a full disk shows.
int write_and_close(std::FILE* file, const std::string& bytes, bool durable) {
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                         (durable ? flush_to_disk(file) : std::fflush(file) == 0);
    int error = written ? 0 : errno;
    const bool closed = std::fclose(file) == 0;
    if (written && !closed) error = errno;
    if (written && closed) return 0;
    return error != 0 ? error : EIO;
}

// The bytes complete under a temporary name beside `target`, which `guard` holds until the
// caller is done with it; answers that name.
std::string write_temporary(const std::string& path, const std::string& target,
                            const std::string& bytes, bool durable,
                            std::optional<GuardedTemporary>& guard) {
    std::string temporary;
    std::FILE* file = open_temporary(target, temporary, guard);
    if (file == nullptr) cannot_write(path, std::strerror(errno));
    const int error = write_and_close(file, bytes, durable);
    if (error != 0) write_failed(path, temporary, error);
    return temporary;
}

enum class TargetKind { file, stream };

// What replace_file does with the target: replace it, or write through it.
TargetKind target_kind(const std::string& path, const std::string& target) {
    if (files::is_system_stream(target)) return TargetKind::stream;
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    switch (status.type()) {
    case fs::file_type::not_found:
    case fs::file_type::regular:
        return TargetKind::file;
    case fs::file_type::fifo:
    case fs::file_type::character:
        return TargetKind::stream;
    case fs::file_type::directory:
        cannot_write(path, "a folder, not a file");
    case fs::file_type::socket:
        cannot_write(path, "a socket, not a file");
    case fs::file_type::block:
        cannot_write(path, "a block device, not a file");
    default:
        break;
    }
    if (error) cannot_write(path, error.message());
    cannot_write(path, "not a file");
}

// The bytes written through an existing FIFO or character device, which is opened as it is:
// never created, truncated or renamed over.
void write_stream(const std::string& path, const std::string& target, const std::string& bytes) {
    std::FILE* file = files::open_stream(path, target);
    if (file == nullptr) cannot_write(path, std::strerror(errno));
    const int error = write_and_close(file, bytes, false);
    if (error != 0) throw StreamWriteError(path + ": cannot write: " + std::strerror(error));
}

}  // namespace

std::string write_target(const std::string& path) {
    fs::path target = path;
    for (int links = 0;; ++links) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error))) break;
        if (links == kMaxLinks) cannot_write(path, "Too many levels of symbolic links");
        const fs::path next = fs::read_symlink(target, error);
        if (error) cannot_write(path, error.message());
        // A relative link names a file beside the link itself.
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.string();
}

void replace_file(const std::string& path, const std::string& bytes) {
    const std::string target = write_target(path);
    if (target_kind(path, target) == TargetKind::stream) {
        write_stream(path, target, bytes);
        return;
    }
    std::optional<GuardedTemporary> guard;
    const std::string temporary = write_temporary(path, target, bytes, true, guard);
    if (!files::move_over(temporary, target)) write_failed(path, temporary, errno);
}

void check_writable(const std::string& path) {
    const std::string target = write_target(path);
    if (target_kind(path, target) == TargetKind::stream) {
        if (!files::stream_writable(target)) cannot_write(path, std::strerror(errno));
        return;
    }
    std::optional<GuardedTemporary> guard;
    const std::string temporary = write_temporary(path, target, std::string(1, '\0'), false, guard);
    if (std::remove(temporary.c_str()) != 0) cannot_write(path, std::strerror(errno));
}

namespace {

// Everything `file` holds up to max_bytes; closes it when `owned`. `name` starts the messages.
std::string read_all(std::FILE* file, const std::string& name, std::size_t max_bytes, bool owned) {
    std::string bytes;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (count > max_bytes - bytes.size()) {
            if (owned) std::fclose(file);
            throw FileError(name + ": cannot read: more than " + size_text(max_bytes));
        }
        bytes.append(buffer, count);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    if (owned) std::fclose(file);
    if (failed) throw FileError(name + ": cannot read: " + std::strerror(error != 0 ? error : EIO));
    return bytes;
}

}  // namespace

std::string read_standard_input(std::size_t max_bytes) {
    files::binary_standard_input();
    errno = 0;
    return read_all(stdin, "standard input", max_bytes, false);
}

std::string read_file(const std::string& path, std::size_t max_bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw FileError(path + ": cannot read: " + std::strerror(errno));
    return read_all(file, path, max_bytes, true);
}

}  // namespace tmhost
