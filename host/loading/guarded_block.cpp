#include "host/loading/guarded_block.h"

#include <new>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tmhost {

namespace {

std::size_t page_size() {
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::size_t>(size) : 4096;
#endif
}

// The whole reservation readable and writable, or null.
void* map_pages(std::size_t bytes) {
#if defined(_WIN32)
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
#endif
}

void unmap_pages(void* p, std::size_t bytes) {
#if defined(_WIN32)
    (void)bytes;
    VirtualFree(p, 0, MEM_RELEASE);
#else
    munmap(p, bytes);
#endif
}

bool fence_page(void* p, std::size_t bytes) {
#if defined(_WIN32)
    DWORD old = 0;
    return VirtualProtect(p, bytes, PAGE_NOACCESS, &old) != 0;
#else
    return mprotect(p, bytes, PROT_NONE) == 0;
#endif
}

}  // namespace

GuardedBlock::GuardedBlock(std::size_t size) {
    const std::size_t page = page_size();
    // Refuse sizes whose page count would overflow rather than map too little.
    if (size > static_cast<std::size_t>(-1) - 3 * page) throw std::bad_alloc();
    const std::size_t inner = (size + page - 1) / page * page;
    const std::size_t total = inner + 2 * page;
    void* mapping = map_pages(total);
    if (mapping == nullptr) throw std::bad_alloc();
    unsigned char* base = static_cast<unsigned char*>(mapping);
    if (!fence_page(base, page) || !fence_page(base + page + inner, page)) {
        unmap_pages(mapping, total);
        throw std::bad_alloc();
    }
    // Fresh anonymous pages are zero on both systems.
    mapping_ = mapping;
    mapping_size_ = total;
    data_ = base + page + inner - size;
    size_ = size;
}

GuardedBlock::~GuardedBlock() { release(); }

GuardedBlock::GuardedBlock(GuardedBlock&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      mapping_size_(std::exchange(other.mapping_size_, 0)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

GuardedBlock& GuardedBlock::operator=(GuardedBlock&& other) noexcept {
    if (this != &other) {
        release();
        mapping_ = std::exchange(other.mapping_, nullptr);
        mapping_size_ = std::exchange(other.mapping_size_, 0);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void GuardedBlock::release() noexcept {
    if (mapping_ != nullptr) unmap_pages(mapping_, mapping_size_);
    mapping_ = nullptr;
    mapping_size_ = 0;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace tmhost
