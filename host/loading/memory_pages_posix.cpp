#include "host/loading/memory_pages.h"

#include <sys/mman.h>
#include <unistd.h>

namespace tmhost {

std::size_t pages::page_size() {
    long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::size_t>(size) : 4096;
}

void* pages::map_pages(std::size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void pages::unmap_pages(void* p, std::size_t bytes) { munmap(p, bytes); }

bool pages::fence_page(void* p, std::size_t bytes) { return mprotect(p, bytes, PROT_NONE) == 0; }

}  // namespace tmhost
