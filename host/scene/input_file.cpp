#include "host/scene/input_file.h"

#include <cerrno>
#include <cstring>

#include "host/image/size_text.h"
#include "host/scene/input_descriptor.h"
#include "host/scene/scene_error.h"

namespace tmhost {

namespace {

[[noreturn]] void cannot_read(const std::string& path, const std::string& reason) {
    throw SceneError(path + ": cannot read: " + reason);
}

// Closes the descriptor on every way out.
class OpenFile {
public:
    explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
    ~OpenFile() { input::close_file(descriptor_); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int get() const { return descriptor_; }

private:
    const int descriptor_;
};

}  // namespace

std::string read_input_file(const std::string& path, std::size_t max_bytes) {
    const int descriptor = input::open_for_reading(path);
    if (descriptor < 0) cannot_read(path, std::strerror(errno));
    const OpenFile file(descriptor);
    input::Status status;
    if (input::status_of(file.get(), status) != 0) cannot_read(path, std::strerror(errno));
    if (!status.not_a_file.empty()) cannot_read(path, status.not_a_file);
    const std::string too_long = "more than " + size_text(max_bytes);
    // A regular file's size is no promise (a file of /proc says 0, and a file may grow while it
    // is read): the reading below stops at the limit too.
    if (status.size > 0 && static_cast<unsigned long long>(status.size) > max_bytes) {
        cannot_read(path, too_long);
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.size));
    char buffer[65536];
    for (;;) {
        const int count = input::read_some(file.get(), buffer, sizeof buffer);
        if (count < 0) cannot_read(path, std::strerror(errno));
        if (count == 0) break;
        if (static_cast<std::size_t>(count) > max_bytes - bytes.size()) cannot_read(path, too_long);
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

}  // namespace tmhost
