#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/image/whole_file.h"
#include "host/image/whole_file_shared.h"

namespace tmhost {

namespace {

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

}  // namespace

std::uint64_t files::process_number() { return static_cast<std::uint64_t>(getpid()); }

int files::create_new(const std::string& name) {
    // 0666 less the umask, as for any new file; an existing target's mode is set next.
    return open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
}

std::FILE* files::new_file_stream(int descriptor, const std::string& target) {
    keep_mode_and_owner(descriptor, target);
    std::FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        const int error = errno;  // the caller's message says why fdopen failed, not close
        close(descriptor);
        errno = error;
    }
    return file;
}

bool files::commit_to_disk(std::FILE* file) { return fsync(fileno(file)) == 0; }

bool files::move_over(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool files::is_system_stream(const std::string&) { return false; }

std::FILE* files::open_stream(const std::string& path, const std::string& target) {
    const int descriptor = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    // Between the look and the open the name may have come to mean something else.
    struct stat opened {};
    if (descriptor >= 0 && (fstat(descriptor, &opened) != 0 ||
                            !(S_ISFIFO(opened.st_mode) || S_ISCHR(opened.st_mode)))) {
        close(descriptor);
        throw FileError(path + ": cannot write: no longer a FIFO or a device");
    }
    std::FILE* file = descriptor >= 0 ? fdopen(descriptor, "wb") : nullptr;
    if (file == nullptr && descriptor >= 0) {
        const int error = errno;
        close(descriptor);
        errno = error;
    }
    return file;
}

bool files::stream_writable(const std::string& target) { return access(target.c_str(), W_OK) == 0; }

void files::binary_standard_input() {}

}  // namespace tmhost
