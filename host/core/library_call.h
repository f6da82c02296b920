// The common start of every host library function (internal to the stand-in host).
//
// Library functions are reached through tables the module found by id, not through the HostTable,
// so they are not operations that fail() and restore() know; a test replaces one by writing its
// slot in the library's table. Like the table's operations they find the active host and journal
// the call.
#ifndef TMHOST_LIBRARY_CALL_H
#define TMHOST_LIBRARY_CALL_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "host/core/stand_in_host.h"

namespace tmhost {

// The active host, or null (said once on stderr) when there is none. `operation` must be a
// literal: the journal keeps a view of it.
inline StandInHost* library_call(const char* operation, std::initializer_list<uint32_t> words,
                                 std::string text = std::string()) {
    StandInHost* host = StandInHost::active();
    if (host == nullptr) {
        StandInHost::note_call_without_host(operation);
        return nullptr;
    }
    host->journal().add(operation, words, false, std::move(text));
    return host;
}

}  // namespace tmhost

#endif
