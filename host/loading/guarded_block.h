// A block of memory fenced by inaccessible pages, so that the module's reads and writes past
// either end of what the host lends it fault at the first byte instead of passing unnoticed.
#ifndef TMHOST_GUARDED_BLOCK_H
#define TMHOST_GUARDED_BLOCK_H

#include <cstddef>

namespace tmhost {

// `size` bytes that end exactly where an inaccessible page begins, so a read one byte past the
// end faults at once. An inaccessible page also lies just before the accessible pages: a read
// before the start faults too when size is a whole number of pages, and otherwise once it falls
// below the first accessible page.
class GuardedBlock {
public:
    // Zero-filled. Throws std::bad_alloc when the system gives no pages. A size of 0 is allowed:
    // data() then points at the start of the guard page.
    explicit GuardedBlock(std::size_t size);
    ~GuardedBlock();
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;
    // The moved-from block holds nothing (data() null, size() 0).
    GuardedBlock(GuardedBlock&& other) noexcept;
    GuardedBlock& operator=(GuardedBlock&& other) noexcept;

    // size() bytes end here plus size(); with a size that is a multiple of 4 it is 4-aligned.
    void* data() const { return data_; }
    std::size_t size() const { return size_; }
    template <typename T>
    T* as() const {
        return static_cast<T*>(data());
    }

private:
    void release() noexcept;

    void* mapping_ = nullptr;  // the whole reservation, both guard pages included
    std::size_t mapping_size_ = 0;
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace tmhost

#endif
