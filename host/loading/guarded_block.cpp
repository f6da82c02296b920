#include "host/loading/guarded_block.h"

#include <new>
#include <utility>

#include "host/loading/memory_pages.h"

namespace tmhost {

GuardedBlock::GuardedBlock(std::size_t size) {
    const std::size_t page = pages::page_size();
    // Refuse sizes whose page count would overflow rather than map too little.
    if (size > static_cast<std::size_t>(-1) - 3 * page) throw std::bad_alloc();
    const std::size_t inner = (size + page - 1) / page * page;
    const std::size_t total = inner + 2 * page;
    void* mapping = pages::map_pages(total);
    if (mapping == nullptr) throw std::bad_alloc();
    unsigned char* base = static_cast<unsigned char*>(mapping);
    if (!pages::fence_page(base, page) || !pages::fence_page(base + page + inner, page)) {
        pages::unmap_pages(mapping, total);
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
    if (mapping_ != nullptr) pages::unmap_pages(mapping_, mapping_size_);
    mapping_ = nullptr;
    mapping_size_ = 0;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace tmhost
