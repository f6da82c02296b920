// A loaded module driven through its life by c4d_main, in the order a host sends the messages:
// init (with the table and the module's path), load resources, start, query ... end.
//
// Commands that do more between start and end (rendering, describing) run start(), do their
// work with the module's registrations, then end().
#ifndef TMHOST_MODULE_LIFECYCLE_H
#define TMHOST_MODULE_LIFECYCLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/core/stand_in_host.h"
#include "host_api.h"

namespace tmhost {

struct MessageOutcome {
    std::string label;  // "message 2 (start)"
    int32_t result = 0;
    int32_t expected = 0;
    bool sent = true;  // false: skipped because init failed

    bool as_expected() const { return sent && result == expected; }
    std::string line() const;  // "message 2 (start): 1", with what was expected when it differs
};

class ModuleLifecycle {
public:
    ModuleLifecycle(StandInHost& host, ModuleEntry entry, std::string module_path);

    // Messages 1, 6 (plug-in message 1: load resources), 2 and 4. After a failed init the others
    // are not sent: the module has no host table to call. True when every answer was expected.
    bool start();
    // Message 3, also after a failed init: every init raises the module's count, and only the end
    // message brings it back down.
    bool end();

    bool started() const { return init_result_ == TM_RESULT_HANDLED; }
    const std::vector<MessageOutcome>& outcomes() const { return outcomes_; }
    bool all_as_expected() const;

private:
    int32_t send(const char* label, int32_t expected, int32_t message, void* a, void* c);
    void skip(const char* label, int32_t expected);

    StandInHost& host_;
    ModuleEntry entry_;
    std::string module_path_;
    int32_t init_result_ = 0;
    std::vector<MessageOutcome> outcomes_;
};

}  // namespace tmhost

#endif
