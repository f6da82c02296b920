#include "host/core/entry_call.h"

#include <cstdio>
#include <utility>

namespace tmhost {

namespace {
// Plain thread-local data of the program itself: read without a lock or a call.
thread_local int calls_in_progress = 0;
}  // namespace

EntryCall::EntryCall(Operation operation, std::initializer_list<uint32_t> words)
    : operation_(operation), host_(StandInHost::active()) {
    ++calls_in_progress;
    if (host_ == nullptr) {
        StandInHost::note_call_without_host(operation);
        return;
    }
    bool failing = host_->is_failing(operation);
    proceed_ = !failing;
    // A render calls here millions of times with the journal off: the name's length and the
    // entry's text are not worth making then.
    Journal& journal = host_->journal();
    if (journal.enabled()) entry_ = journal.add(operation_name(operation), words, failing);
}

EntryCall::~EntryCall() { --calls_in_progress; }

bool EntryCall::in_progress() { return calls_in_progress > 0; }

void EntryCall::note(std::string text) {
    if (host_ != nullptr && entry_ >= 0) host_->journal().annotate(entry_, std::move(text));
}

}  // namespace tmhost
