// Pages of memory straight from the system, for the guarded blocks (guarded_block.h).
#ifndef TMHOST_MEMORY_PAGES_H
#define TMHOST_MEMORY_PAGES_H

#include <cstddef>

namespace tmhost::pages {

std::size_t page_size();
// The whole reservation readable and writable, or null. Fresh pages are zero on both systems.
void* map_pages(std::size_t bytes);
void unmap_pages(void* p, std::size_t bytes);
// The pages made unreadable and unwritable; false when the system refuses.
bool fence_page(void* p, std::size_t bytes);

}  // namespace tmhost::pages

#endif
