// Calls the host refused because the module broke the boundary's rules: ending what was never
// started, ending twice, handing over a pointer the host never gave out. The host answers such a
// call with its failure value instead of crashing, and keeps one line here per call so that a
// test (or tonemix-host) can show what went wrong.
#ifndef TMHOST_MISUSE_LOG_H
#define TMHOST_MISUSE_LOG_H

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tmhost {

class MisuseLog {
public:
    // Messages name the operation first ("string_free: ...") and never hold pointer values, so
    // that reports from the Linux and the Windows build compare equal.
    // Safe from several threads at once; the readers are for when the calls have stopped.
    void add(std::string message) {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(std::move(message));
    }
    const std::vector<std::string>& messages() const { return messages_; }
    std::size_t count() const { return messages_.size(); }
    void clear() { messages_.clear(); }

private:
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

}  // namespace tmhost

#endif
