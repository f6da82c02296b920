#include "memory.h"

#include <cstring>

#include "host_binding.h"

void* mem_alloc(int32_t size, int32_t source_line, const char* source_file) {
    if (size == 0) size = 1;
    return host().general->alloc(size, source_line, source_file);
}

void mem_free(void* p) {
    if (p != nullptr) host().general->free(p);
}

void mem_fill(void* destination, int32_t count, int32_t value) {
    if (count > 0) std::memset(destination, value & 0xff, static_cast<size_t>(count));
}
