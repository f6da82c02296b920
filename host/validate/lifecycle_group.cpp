// The messages of a host's life through c4d_main alone: the usual sequence repeated within one
// load and over many loads, nested lives, and what a careless host sends (messages before init,
// ends beyond the inits, unknown messages and plug-in ids, a refused init). Every answer is held
// to the table of answers the boundary gives, and each end must leave the host as it found it.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "host/core/stand_in_host.h"
#include "host/loading/module_file.h"
#include "host/loading/process_state.h"
#include "host/validate/group_support.h"
#include "host/validate/isolated_run.h"
#include "host/validate/standard_output_check.h"

namespace tmhost {

namespace {

const int32_t kUnknownMessages[] = {0, 5, 7, 99, -1, INT32_MIN, INT32_MAX};
const int32_t kUnknownPluginMessages[] = {2, 7, -1, INT32_MIN, INT32_MAX};

// One load of the module in a host of its own, and the sending of messages with their answers
// checked.
class Life {
public:
    // `kept`, when given, is set once the life has left the module loaded under a thread of its
    // own.
    Life(const ValidationSettings& settings, Findings& findings, std::string what,
         bool* kept = nullptr)
        : settings_(settings), findings_(findings), what_(std::move(what)), kept_(kept) {
        note_progress(what_);
        host_.journal().set_enabled(false);
        loaded_ = module_.load(settings.module_path);
        if (!loaded_) findings_.fail(what_ + ": the module did not load: " + module_.error());
        findings_.count("loads");
    }
    ~Life() {
        if (!loaded_) return;
        process_changed(watch_.restore());
        // Before the unload: no signal may find a handler of the module's once its code is gone.
        process_changed(watch_.restore_signal_actions());
        if (const std::size_t threads = watch_.threads_left()) {
            // Its code stays mapped under the threads; a later load of the file finds it still
            // there, so no other life is tried.
            findings_.fail(what_ + ": the module left " + counted(threads, "thread", "threads") +
                           " running after its end");
            module_.keep_loaded();
            if (kept_ != nullptr) *kept_ = true;
        } else {
            note_progress(what_ + " (unloading)");
            module_.unload();
        }
        process_changed(watch_.after_unload());
        leaves_nothing("after unload");
        check_host_rules(host_, findings_, what_);
    }

    bool loaded() const { return loaded_; }
    StandInHost& host() { return host_; }

    void send(const char* label, int32_t message, void* a, void* c, int32_t expected) {
        if (!loaded_) return;
        if (message == TM_MESSAGE_START) host_.registrations().start_begins();
        const int32_t answer = module_.entry()(message, a, nullptr, c);
        findings_.count("messages");
        if (answer != expected) {
            findings_.fail(what_ + ": " + label + " answered " + std::to_string(answer) + ", " +
                           std::to_string(expected) + " expected");
        }
    }
    void init(int32_t expected = TM_RESULT_HANDLED) {
        send("init", TM_MESSAGE_INIT, host_.table(), path(), expected);
    }
    void plugin(int32_t id, int32_t expected) {
        const std::string label = "plug-in message " + std::to_string(id);
        send(label.c_str(), TM_MESSAGE_PLUGIN, reinterpret_cast<void*>(static_cast<intptr_t>(id)),
             nullptr, expected);
    }
    void start(int32_t expected = TM_RESULT_HANDLED) {
        send("start", TM_MESSAGE_START, nullptr, nullptr, expected);
    }
    void query() { send("query", TM_MESSAGE_QUERY, nullptr, nullptr, TM_RESULT_QUERY); }
    void end() { send("end", TM_MESSAGE_END, nullptr, nullptr, TM_RESULT_HANDLED); }
    void unknown_messages() {
        for (int32_t message : kUnknownMessages) {
            const std::string label = "message " + std::to_string(message);
            send(label.c_str(), message, host_.table(), path(), TM_RESULT_NOT_HANDLED);
        }
    }

    // The whole of a host's usual life between load and unload.
    void usual_life() {
        init();
        plugin(TM_PLUGIN_MESSAGE_ZERO, TM_RESULT_HANDLED);
        plugin(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, TM_RESULT_HANDLED);
        for (int32_t id : kUnknownPluginMessages) plugin(id, TM_RESULT_NOT_HANDLED);
        start();
        query();
        unknown_messages();
        expect_console("- Tonemix", "start");
        end();
        leaves_nothing("after end");
    }

    void leaves_nothing(const char* when) {
        for (const std::string& line : host_.left_behind().lines()) {
            findings_.fail(what_ + ", " + when + ": " + line);
        }
    }

    void expect_console(const char* start_of_line, const char* after) {
        // No message reached a module that did not load: its load is the one failure.
        if (!loaded_) return;
        const auto& lines = host_.console().lines();
        if (lines.empty() || lines.back().rfind(start_of_line, 0) != 0) {
            findings_.fail(what_ + ": no console line \"" + start_of_line + "...\" after " + after);
        }
    }

    char* path() { return const_cast<char*>(settings_.module_path.c_str()); }

private:
    void process_changed(const std::vector<std::string>& changes) {
        for (const std::string& change : changes) findings_.fail(what_ + ": " + change);
    }

    const ValidationSettings& settings_;
    Findings& findings_;
    std::string what_;
    // Made before the module is loaded, so that what it changes in the process is seen.
    ProcessWatch watch_;
    StandInHost host_;
    ModuleFile module_;
    bool loaded_ = false;
    bool* kept_ = nullptr;
};

// Whether a life left the module loaded under a thread of its own.
bool repeated_lives(const ValidationSettings& settings, Findings& findings) {
    bool kept = false;
    const long loads = scaled(settings, 40);
    // The loads grow with the level; the lives within each load only a little, or the work would
    // grow as the square of the level's factor.
    const long lives = 4 + settings.level;
    for (long load = 0; load < loads && !findings.failed(); ++load) {
        Life life(settings, findings, "load " + std::to_string(load + 1), &kept);
        for (long round = 0; round < lives; ++round) {
            life.usual_life();
            findings.count("sequences");
        }
    }
    return kept;
}

void nested_lives(const ValidationSettings& settings, Findings& findings) {
    Life life(settings, findings, "two inits, two ends");
    if (!life.loaded()) return;
    life.init();
    life.init();
    life.plugin(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, TM_RESULT_HANDLED);
    life.start();
    life.end();
    if (life.host().resources().live_count() != 1) {
        findings.fail(
            "two inits, two ends: the first end gave back the resource while an init "
            "was still open");
    }
    life.end();
    life.leaves_nothing("after the second end");
    findings.count("sequences");
}

void careless_hosts(const ValidationSettings& settings, Findings& findings) {
    {
        Life life(settings, findings, "messages before init");
        life.query();
        life.unknown_messages();
        life.plugin(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, TM_RESULT_NOT_HANDLED);
        life.start(TM_RESULT_START_FAILED);
        life.end();
        life.end();
        // The ends above must not have eaten the init of the life that follows.
        life.usual_life();
        findings.count("sequences");
    }
    {
        Life life(settings, findings, "an end too many");
        life.usual_life();
        life.end();
        life.usual_life();
        findings.count("sequences");
    }
    {
        Life life(settings, findings, "init with an old host version");
        life.host().set_version(TM_HOST_API_MINIMUM - 1);
        life.init(TM_RESULT_INIT_REFUSED);
        life.plugin(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, TM_RESULT_NOT_HANDLED);
        life.start(TM_RESULT_START_FAILED);
        life.end();
        life.host().set_version(StandInHost::DEFAULT_VERSION);
        life.usual_life();
        findings.count("sequences");
    }
    std::string too_long(100000, 'a');
    const struct {
        const char* what;
        char* path;
    } refused_paths[] = {{"init without a path", nullptr},
                         {"init with a path too long", &too_long[0]}};
    for (const auto& refused : refused_paths) {
        Life life(settings, findings, refused.what);
        life.send(refused.what, TM_MESSAGE_INIT, life.host().table(), refused.path,
                  TM_RESULT_INIT_REFUSED);
        // The table was good: the module may go on without its resource, but must end clean.
        life.plugin(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, TM_RESULT_NOT_HANDLED);
        life.end();
        life.leaves_nothing("after end");
        life.usual_life();
        findings.count("sequences");
    }
    {
        Life life(settings, findings, "init without a host table");
        life.send("init without a host table", TM_MESSAGE_INIT, nullptr, life.path(),
                  TM_RESULT_INIT_REFUSED);
        life.start(TM_RESULT_START_FAILED);
        life.end();
        life.usual_life();
        findings.count("sequences");
    }
    {
        Life life(settings, findings, "start twice");
        life.init();
        life.plugin(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, TM_RESULT_HANDLED);
        life.start();
        life.start();
        life.end();
        life.leaves_nothing("after end");
        findings.count("sequences");
    }
    {
        // A host may unload a module it never ended; the module's own clean-up runs then.
        Life life(settings, findings, "unload without end");
        life.init();
        life.plugin(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, TM_RESULT_HANDLED);
        life.start();
        findings.count("sequences");
    }
}

}  // namespace

GroupVerdict validate_lifecycle(const ValidationSettings& settings) {
    Findings findings;
    // A module left loaded stays mapped: a later load of the file finds it still there.
    if (repeated_lives(settings, findings)) return findings.verdict();
    nested_lives(settings, findings);
    careless_hosts(settings, findings);
    check_standard_output(settings, findings);
    return findings.verdict();
}

}  // namespace tmhost
