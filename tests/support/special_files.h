// Outputs that are not regular files, made inside a test's own folder (Linux only): a FIFO with
// a reader, and a device that is always full.
#ifndef TONEMIX_TEST_SPECIAL_FILES_H
#define TONEMIX_TEST_SPECIAL_FILES_H

#if defined(__linux__)
#include <cstddef>
#include <filesystem>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tonemix_test {

// The bytes a reader of the FIFO at `path` receives while `write` runs.
template <typename Write>
std::string read_through_fifo(const std::string& path, Write write) {
    std::string received;
    std::thread reader([&] {
        const int descriptor = open(path.c_str(), O_RDONLY);
        if (descriptor < 0) return;
        char buffer[4096];
        for (ssize_t count; (count = read(descriptor, buffer, sizeof buffer)) > 0;) {
            received.append(buffer, static_cast<std::size_t>(count));
        }
        close(descriptor);
    });
    write();
    // A write that never opened the FIFO leaves the reader waiting in open: a writer that opens
    // and closes at once lets it go with nothing read.
    const int release = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (release >= 0) close(release);
    reader.join();
    return received;
}

// A character device at `path` that answers every write with "No space left on device", as
// /dev/full does (its numbers, 1 and 7), made where a faulty write can harm nothing of the
// system's. False, with errno set, where no device node can be made (a user who is not root).
inline bool make_full_device(const std::filesystem::path& path) {
    return mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0;
}

}  // namespace tonemix_test

#endif
#endif
