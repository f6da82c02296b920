// The common start of every operation in the host's tables.
//
// C callbacks carry no user pointer, so each entry finds the active StandInHost, journals the
// call with its argument words, and proceeds only when the host exists and the operation is not
// set to fail. Entries answer their failure value otherwise.
#ifndef TMHOST_ENTRY_CALL_H
#define TMHOST_ENTRY_CALL_H

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "host/core/operations.h"
#include "host/core/stand_in_host.h"
#include "host/core/storage_values.h"

namespace tmhost {

namespace entry_call_detail {
// Plain thread-local data of the program itself: read without a lock or a call, from a signal
// handler too.
inline thread_local int calls_in_progress = 0;
}  // namespace entry_call_detail

class EntryCall {
public:
    // A render makes millions of these with the journal off and nothing set to fail: that path is
    // inline, and the argument words are read only when the journal takes them.
    EntryCall(Operation operation, std::initializer_list<uint32_t> words)
        : operation_(operation), host_(StandInHost::active()) {
        ++entry_call_detail::calls_in_progress;
        if (host_ == nullptr) {
            StandInHost::note_call_without_host(operation);
            return;
        }
        const bool failing = host_->is_failing(operation);
        proceed_ = !failing;
        if (host_->journal().enabled()) journal(words, failing);
    }
    ~EntryCall() { --entry_call_detail::calls_in_progress; }
    EntryCall(const EntryCall&) = delete;
    EntryCall& operator=(const EntryCall&) = delete;

    explicit operator bool() const { return proceed_; }
    StandInHost& host() const { return *host_; }
    bool has_host() const { return host_ != nullptr; }
    // The renderer the host answers render calls with; null when none is attached.
    RenderBackend* render_backend() const { return host_->render_backend(); }
    // The operation's name, as misuse reports give it.
    const char* name() const { return operation_name(operation_); }
    // Text for this call's journal entry: a string's content, a path, a tag.
    void note(std::string text);

    // Whether this thread is inside an operation the module called: a crash there comes from
    // what the module handed over. Safe to ask from a signal handler.
    static bool in_progress();

private:
    void journal(std::initializer_list<uint32_t> words, bool failing);

    Operation operation_;
    StandInHost* host_;
    bool proceed_ = false;
    long entry_ = -1;  // index in the journal, -1 when not journaled
};

inline uint32_t word(const void* p) { return word_of(p); }
inline uint32_t word(int32_t value) { return static_cast<uint32_t>(value); }
inline uint32_t word(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace tmhost

#endif
