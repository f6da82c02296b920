// Blocks handed out by general_alloc, each booked with its size and the module's source tag.
#ifndef TMHOST_MEMORY_TRACKER_H
#define TMHOST_MEMORY_TRACKER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/core/misuse_log.h"

namespace tmhost {

struct Allocation {
    int32_t size = 0;
    int32_t source_line = 0;
    std::string source_file;  // copied: the module's text may go away with the module
    uint32_t serial = 0;
};

class MemoryTracker {
public:
    explicit MemoryTracker(MisuseLog& misuses) : misuses_(misuses) {}
    ~MemoryTracker();  // gives back what the module left behind; it is reported before that
    MemoryTracker(const MemoryTracker&) = delete;
    MemoryTracker& operator=(const MemoryTracker&) = delete;

    // Null for a negative size (reported) or when the system has no memory. The block's bytes are
    // filled with 0xa5, not zero, so that a module reading memory it never wrote sees the same
    // garbage on every run and every platform.
    void* alloc(int32_t size, int32_t source_line, const char* source_file);
    void free(void* p);  // an unknown or already freed pointer is reported, never freed

    std::size_t live_count() const { return blocks_.size(); }
    // Live blocks, oldest first.
    std::vector<Allocation> live() const;

private:
    MisuseLog& misuses_;
    std::map<void*, Allocation> blocks_;
    std::map<void*, Allocation> given_back_;  // freed and not handed out again
    uint32_t last_serial_ = 0;
};

// "tag:line, N bytes", as reports show an allocation.
std::string describe(const Allocation& allocation);

}  // namespace tmhost

#endif
