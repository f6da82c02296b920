#include "host/loading/memory_pages.h"

#include <windows.h>

namespace tmhost {

std::size_t pages::page_size() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

void* pages::map_pages(std::size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

// The whole reservation goes at once: its size is the system's to know.
void pages::unmap_pages(void* p, std::size_t) { VirtualFree(p, 0, MEM_RELEASE); }

bool pages::fence_page(void* p, std::size_t bytes) {
    DWORD old = 0;
    return VirtualProtect(p, bytes, PAGE_NOACCESS, &old) != 0;
}

}  // namespace tmhost
