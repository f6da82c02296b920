// Where a timed loop's stack lies.
//
// A load that shares its low 12 address bits with a recent store can wait for that store, so
// where the stack happens to lie against the module's node, the host's records and the other
// data changes the timings: moving the stack alone changed compute_output and its floor by up to
// 45 % in one process (the kernel places the stack at random, to 16 bytes). Each call of a case
// therefore runs its loop with the stack moved down by another amount, and the table keeps every
// case's fastest repetition: the module and its floor each at their best placement.
#ifndef TONEMIX_BENCH_STACK_PLACEMENT_H
#define TONEMIX_BENCH_STACK_PLACEMENT_H

#include <alloca.h>

#include <cstddef>

#include <benchmark/benchmark.h>

namespace tonemix_bench {

// Eight placements spread over a 4 KiB page, taken in turn.
inline std::size_t stack_shift(unsigned call) { return 16 + (call % 8) * 528; }

// Runs loop(state, arguments...) below `calls`' next placement. The loop must not be inlined
// here, or its own locals would stay where they were.
template <typename Loop, typename... Arguments>
void run_placed(unsigned& calls, Loop loop, benchmark::State& state,
                const Arguments&... arguments) {
    volatile char* pad = static_cast<volatile char*>(alloca(stack_shift(calls++)));
    pad[0] = 0;
    loop(state, arguments...);
    benchmark::DoNotOptimize(pad[0]);
}

}  // namespace tonemix_bench

#endif
