// A node's random stream, shared by every thread that shades with the node.
//
// Hosts call one node's compute_output from all their render threads at once. Each call takes its
// draws as one unbroken run of the node's stream: it reads the stream's state, works out the
// state the run leaves, and publishes that with one compare-and-swap, planning again from the
// newer state when another call published first. So overlapping calls draw as if they had come
// one after another, no draw is lost or repeated, and one thread alone sees exactly the draws of
// a plain RandomStream.
//
// A run is taken in two passes so that the stretch a competing call can spoil stays short: the
// plan steps the generator and tests the polar method's pairs, recording the uniforms, and only
// once the run is published does the replay take the logarithms and square roots.
//
// The whole state fits one 64-bit word, which every i686 swaps lock-free (cmpxchg8b):
//   no spare cached:  bit 63 clear, bits 0-31 the seed, which may be any 32-bit value (reseed)
//   a spare cached:   bit 63 set, bits 32-62 the state that gave the cached pair's first uniform,
//                     bits 0-30 the seed
// A spare is cached only by a Gaussian pair, whose states and every state after them are stepped
// states, and a stepped state has bit 31 clear: 31 bits hold each. The spare itself is not kept:
// its pair is worked out again from the state that began it.
#ifndef TONEMIX_SHARED_RANDOM_STREAM_H
#define TONEMIX_SHARED_RANDOM_STREAM_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>

#include "random_stream.h"

// The stream's state as the word holds it.
struct StreamState {
    uint32_t seed = 0;
    int32_t has_spare = 0;
    uint32_t spare_pair = 0;  // while has_spare: the state that gave the pair's first uniform

    using Word = uint64_t;
    static constexpr Word kSpareFlag = Word{1} << 63;

    Word pack() const {
        if (has_spare == 0) return seed;
        return kSpareFlag | Word{spare_pair & RandomStream::kMask} << 32 |
               (seed & RandomStream::kMask);
    }
    static StreamState unpack(Word word) {
        StreamState state;
        if ((word & kSpareFlag) == 0) {
            state.seed = static_cast<uint32_t>(word);
            return state;
        }
        state.has_spare = 1;
        state.seed = static_cast<uint32_t>(word) & RandomStream::kMask;
        state.spare_pair = static_cast<uint32_t>(word >> 32) & RandomStream::kMask;
        return state;
    }

    // The unscaled spare of the pair that began at spare_pair.
    float spare() const {
        uint32_t state = spare_pair;
        double u1 = RandomStream::uniform_of(state);
        double u2 = RandomStream::uniform_of(RandomStream::step(state));
        return static_cast<float>(u1 * RandomStream::normal_factor(u1 * u1 + u2 * u2));
    }
};

// The first pass: the draws of a run stepped and recorded, their values not yet made (every draw
// answers 0). One slot per uniform, three per fresh Gaussian pair (u1, u2, q), none for a spare.
template <std::size_t kSlots>
class DrawPlan {
public:
    explicit DrawPlan(StreamState start) : start_(start), state_(start) {}

    double uniform_signed() {
        state_.seed = RandomStream::step(state_.seed);
        slots_[used_++] = RandomStream::uniform_of(state_.seed);
        return 0.0;
    }
    double gauss_centered() { return normal(); }
    double gauss_spread() { return normal(); }

    const StreamState& start() const { return start_; }
    const StreamState& state() const { return state_; }
    const double* slots() const { return slots_; }

private:
    double normal() {
        if (state_.has_spare != 0) {
            state_.has_spare = 0;
            return 0.0;
        }
        uint32_t state = state_.seed;
        RandomStream::Pair pair = RandomStream::next_pair(state);
        // The accepted pair's first uniform came from the step before its last.
        state_.spare_pair = step_before(state);
        state_.seed = state;
        state_.has_spare = 1;
        slots_[used_++] = pair.u1;
        slots_[used_++] = pair.u2;
        slots_[used_++] = pair.q;
        return 0.0;
    }
    // The stepped state whose step is `state`: 69069 * (s + 1) inverted modulo 2^31.
    static uint32_t step_before(uint32_t state) {
        return (state * kInverseMultiplier - 1) & RandomStream::kMask;
    }
    static constexpr uint32_t kInverseMultiplier = 2783094533u;  // 69069 * it = 1 modulo 2^32

    StreamState start_;
    StreamState state_;
    std::size_t used_ = 0;
    double slots_[kSlots];
};

// The second pass: the same draws, in the same order, their values made from the plan's slots
// exactly as RandomStream makes them.
class DrawReplay {
public:
    DrawReplay(StreamState start, const double* slots)
        : slots_(slots), has_spare_(start.has_spare != 0), spare_pair_(start.spare_pair) {}

    double uniform_signed() { return *slots_++; }
    double gauss_centered() { return RandomStream::centered(normal()); }
    double gauss_spread() { return RandomStream::spread(normal()); }

private:
    double normal() {
        if (has_spare_) {
            has_spare_ = false;
            if (spare_from_start_) {
                StreamState start;
                start.spare_pair = spare_pair_;
                return static_cast<double>(start.spare());
            }
            return static_cast<double>(spare_);
        }
        spare_from_start_ = false;
        double u1 = slots_[0], u2 = slots_[1], q = slots_[2];
        slots_ += 3;
        double m = RandomStream::normal_factor(q);
        spare_ = static_cast<float>(u1 * m);
        has_spare_ = true;
        return u2 * m;
    }

    const double* slots_;
    bool has_spare_;
    bool spare_from_start_ = true;  // a spare cached before the run is made from its pair
    uint32_t spare_pair_;
    float spare_ = 0.0f;
};

class SharedRandomStream {
public:
    using Word = StreamState::Word;
    static_assert(std::atomic<Word>::is_always_lock_free, "the stream's word must swap lock-free");

    // Every call writes the word, so it gets a cache line to itself: the line holding it lies
    // inside this object whatever the alignment of the memory the host gave the node.
    static constexpr std::size_t kLine = 64;

    SharedRandomStream() { new (word_place()) std::atomic<Word>(start_word(RandomStream().seed)); }
    SharedRandomStream(const SharedRandomStream&) = delete;
    SharedRandomStream& operator=(const SharedRandomStream&) = delete;

    // Between renders only: no draw may overlap it. Drops a cached spare.
    void reseed(int32_t value) { word().store(start_word(value), std::memory_order_relaxed); }

    // The stream as a plain RandomStream, for a look between draws.
    RandomStream current() const {
        StreamState state = StreamState::unpack(word().load(std::memory_order_relaxed));
        RandomStream stream;
        stream.reseed(static_cast<int32_t>(state.seed));
        if (state.has_spare != 0) {
            stream.has_spare = 1;
            stream.spare = state.spare();
        }
        return stream;
    }

    // Takes one run of draws: draws(stream) makes them on any stream with RandomStream's three
    // draws, and is called at least twice, first on plans whose draws answer 0, last on the
    // replay that answers the run's values. It must make the same draws in the same order every
    // time and use only what the last call computes. At most kSlots / 3 Gaussian pairs and
    // kSlots uniforms.
    template <std::size_t kSlots, typename Draws>
    void take_run(Draws&& draws) {
        std::atomic<Word>& shared = word();
        Word seen = shared.load(std::memory_order_relaxed);
        for (;;) {
            DrawPlan<kSlots> plan(StreamState::unpack(seen));
            draws(plan);
            if (shared.compare_exchange_weak(seen, plan.state().pack(),
                                             std::memory_order_relaxed)) {
                DrawReplay replay(plan.start(), plan.slots());
                draws(replay);
                return;
            }
        }
    }

    // Where the word lives; tests check its line.
    const void* word_address() const { return word_place(); }

private:
    static Word start_word(int32_t seed) {
        StreamState state;
        state.seed = static_cast<uint32_t>(seed);
        return state.pack();
    }

    void* word_place() const {
        auto start = reinterpret_cast<uintptr_t>(space_);
        return reinterpret_cast<void*>((start + kLine - 1) & ~(uintptr_t{kLine} - 1));
    }
    std::atomic<Word>& word() const { return *static_cast<std::atomic<Word>*>(word_place()); }

    // The first line boundary lies at most kLine - 1 bytes in, so a whole line follows it.
    mutable unsigned char space_[2 * kLine];
};

#endif
