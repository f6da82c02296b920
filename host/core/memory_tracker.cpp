#include "host/core/memory_tracker.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tmhost {

MemoryTracker::~MemoryTracker() {
    for (const auto& block : blocks_) std::free(block.first);
}

void* MemoryTracker::alloc(int32_t size, int32_t source_line, const char* source_file) {
    if (size < 0) {
        misuses_.add("general_alloc: negative size " + std::to_string(size));
        return nullptr;
    }
    const std::size_t bytes = size == 0 ? 1 : static_cast<std::size_t>(size);
    void* p = std::malloc(bytes);
    if (p == nullptr) return nullptr;
    std::memset(p, 0xa5, bytes);
    Allocation allocation;
    allocation.size = size;
    allocation.source_line = source_line;
    allocation.source_file = source_file != nullptr ? source_file : "(no source file)";
    allocation.serial = ++last_serial_;
    given_back_.erase(p);
    blocks_[p] = std::move(allocation);
    return p;
}

void MemoryTracker::free(void* p) {
    if (p == nullptr) {
        misuses_.add("general_free: null pointer");
        return;
    }
    auto found = blocks_.find(p);
    if (found == blocks_.end()) {
        auto freed = given_back_.find(p);
        misuses_.add(freed != given_back_.end()
                         ? "general_free: block already given back (" + describe(freed->second) +
                               ")"
                         : std::string("general_free: pointer not allocated by the host"));
        return;
    }
    given_back_[p] = std::move(found->second);
    blocks_.erase(found);
    std::free(p);
}

std::vector<Allocation> MemoryTracker::live() const {
    std::vector<Allocation> out;
    for (const auto& block : blocks_) out.push_back(block.second);
    std::sort(out.begin(), out.end(),
              [](const Allocation& a, const Allocation& b) { return a.serial < b.serial; });
    return out;
}

std::string describe(const Allocation& allocation) {
    return allocation.source_file + ":" + std::to_string(allocation.source_line) + ", " +
           std::to_string(allocation.size) + " bytes";
}

}  // namespace tmhost
