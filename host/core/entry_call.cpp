#include "host/core/entry_call.h"

#include <cstdio>
#include <utility>

namespace tmhost {

EntryCall::EntryCall(Operation operation, std::initializer_list<uint32_t> words)
    : operation_(operation), host_(StandInHost::active()) {
    if (host_ == nullptr) {
        StandInHost::note_call_without_host(operation);
        return;
    }
    bool failing = host_->is_failing(operation);
    proceed_ = !failing;
    entry_ = host_->journal().add(operation_name(operation), words, failing);
}

void EntryCall::note(std::string text) {
    if (host_ != nullptr && entry_ >= 0) host_->journal().annotate(entry_, std::move(text));
}

}  // namespace tmhost
