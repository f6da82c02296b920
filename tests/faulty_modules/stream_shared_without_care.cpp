// Stands in for the module's tonemix_output.cpp: the same source, compiled with a node stream
// that takes its runs without the swap. A plain load, the whole run drawn from that copy, then a
// plain store: calls that overlap start from the same state, so they draw the same numbers and
// all but one of their runs are lost; the replay between load and store keeps the window wide.
// The word is still reached atomically, so the race is one of logic only and nothing tears.
//
// The stream keeps the module's layout (a class derived without members), so the node's other
// functions, built from the module's objects, see the fields where they are.
#define SharedRandomStream ModuleSharedRandomStream
#include "shared_random_stream.h"
#undef SharedRandomStream

class SharedRandomStream : public ModuleSharedRandomStream {
public:
    template <std::size_t kSlots, typename Draws>
    void take_run(Draws&& draws) {
        auto& shared = *static_cast<std::atomic<Word>*>(const_cast<void*>(word_address()));
        Word seen = shared.load(std::memory_order_relaxed);
        DrawPlan<kSlots> plan(StreamState::unpack(seen));
        draws(plan);
        DrawReplay replay(plan.start(), plan.slots());
        draws(replay);
        shared.store(plan.state().pack(), std::memory_order_relaxed);
    }
};
static_assert(sizeof(SharedRandomStream) == sizeof(ModuleSharedRandomStream),
              "the node's layout must not change");

#include "tonemix_output.cpp"
