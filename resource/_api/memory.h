// Memory from the host's allocator, tagged with where it was asked for.
#ifndef TONEMIX_MEMORY_H
#define TONEMIX_MEMORY_H

#include <cstdint>

// A size of 0 is raised to 1 so that the host never sees an empty request. Null on failure.
void* mem_alloc(int32_t size, int32_t source_line, const char* source_file);
// Null is ignored.
void mem_free(void* p);
// Sets count bytes to the low 8 bits of value.
void mem_fill(void* destination, int32_t count, int32_t value);

#endif
