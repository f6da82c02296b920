// A node's random stream, shared by every thread that shades with the node.
//
// Hosts call one node's compute_output from all their render threads at once. Each call takes its
// draws as one unbroken run of the node's stream: it copies the stream's state, draws on the copy,
// and publishes the new state with one compare-and-swap, drawing again from the newer state when
// another call published first. So overlapping calls draw as if they had come one after another,
// no draw is lost or repeated, and one thread alone sees exactly the draws of a plain stream.
//
// The whole state fits one 64-bit word, which every i686 swaps lock-free (cmpxchg8b):
//   no spare cached:  bit 63 clear, bits 0-31 the seed, which may be any 32-bit value (reseed)
//   a spare cached:   bit 63 set, bits 32-62 the seed, bits 0-31 the spare's float bits
// A spare is cached only by a Gaussian pair, which leaves the seed at a stepped state, and a
// stepped state has bit 31 clear: 31 bits hold it.
#ifndef TONEMIX_SHARED_RANDOM_STREAM_H
#define TONEMIX_SHARED_RANDOM_STREAM_H

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#include "random_stream.h"

class SharedRandomStream {
public:
    using Word = uint64_t;
    static_assert(std::atomic<Word>::is_always_lock_free, "the stream's word must swap lock-free");

    // Every call writes the word, so it gets a cache line to itself: the line holding it lies
    // inside this object whatever the alignment of the memory the host gave the node.
    static constexpr std::size_t kLine = 64;

    SharedRandomStream() { new (word_place()) std::atomic<Word>(pack(RandomStream())); }
    SharedRandomStream(const SharedRandomStream&) = delete;
    SharedRandomStream& operator=(const SharedRandomStream&) = delete;

    // Between renders only: no draw may overlap it.
    void reseed(int32_t value) {
        RandomStream stream = current();
        stream.reseed(value);
        word().store(pack(stream), std::memory_order_relaxed);
    }

    RandomStream current() const { return unpack(word().load(std::memory_order_relaxed)); }

    // Runs draws(RandomStream&) on a copy of the state and publishes what it leaves. When another
    // thread published in between, draws runs again from the newer state, so it must depend only
    // on the stream and on values that do not change meanwhile.
    template <typename Draws>
    void take_run(Draws&& draws) {
        std::atomic<Word>& shared = word();
        Word seen = shared.load(std::memory_order_relaxed);
        for (;;) {
            RandomStream stream = unpack(seen);
            draws(stream);
            if (shared.compare_exchange_weak(seen, pack(stream), std::memory_order_relaxed)) {
                return;
            }
        }
    }

    static Word pack(const RandomStream& stream) {
        if (stream.has_spare == 0) return static_cast<uint32_t>(stream.seed);
        uint32_t spare_bits;
        std::memcpy(&spare_bits, &stream.spare, sizeof spare_bits);
        Word seed = static_cast<uint32_t>(stream.seed) & RandomStream::kMask;
        return kSpareFlag | seed << 32 | spare_bits;
    }

    static RandomStream unpack(Word word) {
        RandomStream stream;
        if ((word & kSpareFlag) == 0) {
            stream.seed = static_cast<int32_t>(static_cast<uint32_t>(word));
            stream.has_spare = 0;
            return stream;
        }
        stream.seed = static_cast<int32_t>(static_cast<uint32_t>(word >> 32) & RandomStream::kMask);
        stream.has_spare = 1;
        uint32_t spare_bits = static_cast<uint32_t>(word);
        std::memcpy(&stream.spare, &spare_bits, sizeof spare_bits);
        return stream;
    }

    // Where the word lives; tests check its line.
    const void* word_address() const { return word_place(); }

private:
    static constexpr Word kSpareFlag = Word{1} << 63;

    void* word_place() const {
        auto start = reinterpret_cast<uintptr_t>(space_);
        return reinterpret_cast<void*>((start + kLine - 1) & ~(uintptr_t{kLine} - 1));
    }
    std::atomic<Word>& word() const { return *static_cast<std::atomic<Word>*>(word_place()); }

    // The first line boundary lies at most kLine - 1 bytes in, so a whole line follows it.
    mutable unsigned char space_[2 * kLine];
};

#endif
