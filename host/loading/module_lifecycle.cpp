#include "host/loading/module_lifecycle.h"

#include <utility>

namespace tmhost {

std::string MessageOutcome::line() const {
    if (!sent) return label + ": not sent, init failed";
    std::string text = label + ": " + std::to_string(result);
    if (result != expected) text += " (expected " + std::to_string(expected) + ")";
    return text;
}

ModuleLifecycle::ModuleLifecycle(StandInHost& host, ModuleEntry entry, std::string module_path)
    : host_(host), entry_(entry), module_path_(std::move(module_path)) {}

int32_t ModuleLifecycle::send(const char* label, int32_t expected, int32_t message, void* a,
                              void* c) {
    host_.activate();
    if (message == TM_MESSAGE_START) host_.registrations().start_begins();
    const int32_t result = entry_(message, a, nullptr, c);
    MessageOutcome outcome;
    outcome.label = label;
    outcome.result = result;
    outcome.expected = expected;
    outcomes_.push_back(std::move(outcome));
    return result;
}

void ModuleLifecycle::skip(const char* label, int32_t expected) {
    MessageOutcome outcome;
    outcome.label = label;
    outcome.expected = expected;
    outcome.sent = false;
    outcomes_.push_back(std::move(outcome));
}

bool ModuleLifecycle::start() {
    init_result_ = send("message 1 (init)", TM_RESULT_HANDLED, TM_MESSAGE_INIT, host_.table(),
                        const_cast<char*>(module_path_.c_str()));
    const char* load = "message 6 (plug-in message 1: load resources)";
    const char* start = "message 2 (start)";
    const char* query = "message 4 (query)";
    if (!started()) {
        skip(load, TM_RESULT_HANDLED);
        skip(start, TM_RESULT_HANDLED);
        skip(query, TM_RESULT_QUERY);
        return false;
    }
    void* load_resources =
        reinterpret_cast<void*>(static_cast<intptr_t>(TM_PLUGIN_MESSAGE_LOAD_RESOURCES));
    const bool loaded = send(load, TM_RESULT_HANDLED, TM_MESSAGE_PLUGIN, load_resources, nullptr) ==
                        TM_RESULT_HANDLED;
    const bool began =
        send(start, TM_RESULT_HANDLED, TM_MESSAGE_START, nullptr, nullptr) == TM_RESULT_HANDLED;
    const bool queried =
        send(query, TM_RESULT_QUERY, TM_MESSAGE_QUERY, nullptr, nullptr) == TM_RESULT_QUERY;
    return loaded && began && queried;
}

bool ModuleLifecycle::end() {
    return send("message 3 (end)", TM_RESULT_HANDLED, TM_MESSAGE_END, nullptr, nullptr) ==
           TM_RESULT_HANDLED;
}

bool ModuleLifecycle::all_as_expected() const {
    for (const MessageOutcome& outcome : outcomes_) {
        if (!outcome.as_expected()) return false;
    }
    return true;
}

}  // namespace tmhost
