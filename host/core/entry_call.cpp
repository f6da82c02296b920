#include "host/core/entry_call.h"

#include <utility>

namespace tmhost {

void EntryCall::journal(std::initializer_list<uint32_t> words, bool failing) {
    entry_ = host_->journal().add(operation_name(operation_), words, failing);
}

bool EntryCall::in_progress() { return entry_call_detail::calls_in_progress > 0; }

void EntryCall::note(std::string text) {
    if (host_ != nullptr && entry_ >= 0) host_->journal().annotate(entry_, std::move(text));
}

}  // namespace tmhost
