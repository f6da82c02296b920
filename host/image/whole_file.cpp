#include "host/image/whole_file.h"

#include "host/image/temporary_files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

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
#ifdef _WIN32
    const std::uint64_t process = static_cast<std::uint64_t>(_getpid());
#else
    const std::uint64_t process = static_cast<std::uint64_t>(getpid());
#endif
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

#ifndef _WIN32
// A file that replaces another keeps the other's permissions, and its owner and group where this
// process may give them (as root, or a group it belongs to): replacing a private file must not
// make it readable to all, nor hand another user's file to root. Set before any byte is written,
// so the content is never readable under wider permissions. The set-id bits are not kept: they
// belonged to the old content. (Windows keeps no such modes: its permissions are the folder's.)
void keep_mode_and_owner(int descriptor, const std::string& target) {
    struct stat existing {};
    if (stat(target.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return;
    struct stat made {};
    if (fstat(descriptor, &made) == 0 &&
        (made.st_uid != existing.st_uid || made.st_gid != existing.st_gid) &&
        fchown(descriptor, existing.st_uid, existing.st_gid) != 0) {
        static_cast<void>(fchown(descriptor, static_cast<uid_t>(-1), existing.st_gid));
    }
    static_cast<void>(fchmod(descriptor, existing.st_mode & 0777));
}
#endif

// A new file of its own beside `target`, opened for writing and guarded against signals; null
// with errno set when the folder takes none.
std::FILE* open_temporary(const std::string& target, std::string& name,
                          std::optional<GuardedTemporary>& guard) {
    const fs::path folder = fs::path(target).parent_path();
    remove_stale_temporaries(folder.string());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = (folder / (kTemporaryPrefix + temporary_letters())).string();
#ifdef _WIN32
        const int descriptor =
            _open(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        // 0666 less the umask, as for any new file; an existing target's mode is set next.
        const int descriptor = open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
#endif
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        // Only once the file is ours: a name taken by another writer must never be removed.
        guard.emplace(name);
#ifdef _WIN32
        std::FILE* file = _fdopen(descriptor, "wb");
        if (file == nullptr) _close(descriptor);
#else
        keep_mode_and_owner(descriptor, target);
        std::FILE* file = fdopen(descriptor, "wb");
        if (file == nullptr) close(descriptor);
#endif
        if (file == nullptr) std::remove(name.c_str());
        return file;
    }
    errno = EEXIST;
    return nullptr;
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

#ifdef _WIN32
// A device (NUL, CON) or a pipe, asked of the system without opening it for reading or writing:
// the C library's stat answers "no access" for those.
bool windows_stream(const std::string& target) {
    HANDLE handle = CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}
#endif

// What replace_file does with the target: replace it, or write through it.
TargetKind target_kind(const std::string& path, const std::string& target) {
#ifdef _WIN32
    if (windows_stream(target)) return TargetKind::stream;
#endif
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
#ifdef _WIN32
    std::FILE* file = std::fopen(target.c_str(), "r+b");
#else
    const int descriptor = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    // Between the look and the open the name may have come to mean something else.
    struct stat opened {};
    if (descriptor >= 0 && (fstat(descriptor, &opened) != 0 ||
                            !(S_ISFIFO(opened.st_mode) || S_ISCHR(opened.st_mode)))) {
        close(descriptor);
        cannot_write(path, "no longer a FIFO or a device");
    }
    std::FILE* file = descriptor >= 0 ? fdopen(descriptor, "wb") : nullptr;
    if (file == nullptr && descriptor >= 0) close(descriptor);
#endif
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
    if (!move_over(temporary, target)) write_failed(path, temporary, errno);
}

void check_writable(const std::string& path) {
    const std::string target = write_target(path);
    if (target_kind(path, target) == TargetKind::stream) {
#ifndef _WIN32
        if (access(target.c_str(), W_OK) != 0) cannot_write(path, std::strerror(errno));
#endif
        // Windows answers "no access" for a device (NUL, CON) that takes writes all the same: its
        // write reports what fails.
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
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    errno = 0;
    return read_all(stdin, "standard input", max_bytes, false);
}

std::string read_file(const std::string& path, std::size_t max_bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw FileError(path + ": cannot read: " + std::strerror(errno));
    return read_all(file, path, max_bytes, true);
}

}  // namespace tmhost
