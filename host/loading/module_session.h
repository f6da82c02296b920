// One life of a built module in a stand-in host, the one way every command runs a module: the
// file loaded, the lifecycle messages up to start sent; at the end, the end message sent, the
// file unloaded and what the module left behind counted.
//
// A module whose init fails still gets its end message (every init raises its count). A command
// that shades asks for the Tonemix shader with require_shader(), which refuses a module that did
// not start, registered no such shader or no description it can present.
#ifndef TMHOST_MODULE_SESSION_H
#define TMHOST_MODULE_SESSION_H

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/core/description.h"
#include "host/core/stand_in_host.h"
#include "host/loading/crash_report.h"
#include "host/loading/module_file.h"
#include "host/loading/module_lifecycle.h"
#include "host/loading/process_state.h"
#include "host/loading/shader_plugin.h"

namespace tmhost {

// The plug-in id under which the module registers the Tonemix shader and its description.
constexpr int32_t kTonemixShaderId = 1007539;

// Why a module cannot be used, in one line ready to print.
class ModuleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ModuleSession {
public:
    // Called on the new host before the module is loaded; tests use it to make the host refuse or
    // fail what they need, and validate's groups to make it hostile.
    using PrepareHost = std::function<void(StandInHost&)>;

    // What a crash of the module does: end the process as any crash does (validate's groups,
    // whose parent reads the crash), or end it with CrashReport's one line and exit code 2 (the
    // commands that load a module to use it). With one_line, the file is loaded in a child
    // process first (trial_load.h): a crash as it loads, or the system's loader stopping on a
    // damaged file, becomes a ModuleError.
    enum class OnCrash { crash, one_line };

    // Loads the module and sends the messages up to start. Throws ModuleError when the file is
    // missing or no module; a module that refuses a message is kept for its report.
    explicit ModuleSession(const std::string& module_path, PrepareHost prepare = nullptr,
                           OnCrash on_crash = OnCrash::crash);
    ~ModuleSession();
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    StandInHost& host() { return host_; }
    const ModuleLifecycle& lifecycle() const { return *lifecycle_; }
    bool started() const { return lifecycle_->started(); }

    // How far a command trusts the registered description. A user who edits the description may
    // ask to use it even where it disagrees with the module's defaults.
    enum class Trust { checked, description_as_given };

    // Finds the Tonemix shader and its description. Throws ModuleError with one line saying why
    // not (the module did not start, registered no Tonemix shader, no description or one with a
    // fault, or, when checked, a description whose ids, types or defaults differ from what a new
    // node's init_defaults writes), after ending and unloading the module.
    void require_shader(Trust trust = Trust::checked);
    // Throws ModuleError with one line, after ending and unloading the module, when it did not
    // start for want of what a user can mend: its resource folder or its description.
    void require_resources();

    // After require_shader().
    const ShaderPlugin& shader() const { return shader_; }
    const Description& description() const { return *description_; }

    // Ends and unloads the module; one line per thing it left behind (none when clean), and one
    // for an end message answered otherwise than expected. Later calls answer nothing. What the
    // module changed in the process is among the things left behind (process_state.h); a module
    // that leaves a thread running stays loaded, so that the thread does not run into unmapped
    // code, and on Linux its crash report stays for the rest of the process ("while running after
    // its end").
    std::vector<std::string> finish();

    // What the module is doing, as a crash report's line says it ("shading"); after start it is
    // "running". Nothing without OnCrash::one_line.
    void set_crash_phase(const char* phase);
    // Around each render's shading, from any thread: renders under way at once (serve's) share
    // the one report, so the first to begin makes it "shading" and the last to end "running".
    void shading_begins();
    void shading_ends();

private:
    [[noreturn]] void abandon(const std::string& why);
    void change_crash_phase(const char* phase);
    void note(const std::vector<std::string>& changes);
    // Why start failed: what the resource store or the description library saw first, then the
    // message that was answered otherwise than expected.
    std::string why_not_started() const;
    // The first difference between the description and a new node's defaults, or empty.
    std::string disagreement();

    // Made before the module is loaded: what the process was before the module could change it.
    std::unique_ptr<ProcessWatch> watch_;
    // Outlives the module's file: a crash in its unload-time clean-up is still its own.
    std::unique_ptr<CrashReport> crash_report_;
    // The host outlives the module: the module's unload-time clean-up may still call it.
    StandInHost host_;
    ModuleFile module_;
    std::optional<ModuleLifecycle> lifecycle_;
    ShaderPlugin shader_;
    const Description* description_ = nullptr;
    bool finished_ = false;
    // Guards the report's phase and the renders counted in shading_.
    std::mutex phase_mutex_;
    int shading_ = 0;
};

}  // namespace tmhost

#endif
