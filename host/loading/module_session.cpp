#include "host/loading/module_session.h"

#include <filesystem>
#include <optional>
#include <utility>

#include "host/core/text_format.h"
#include "host/loading/default_check.h"
#include "host/loading/module_endings.h"

namespace tmhost {

namespace {}  // namespace

ModuleSession::ModuleSession(const std::string& module_path, PrepareHost prepare, OnCrash on_crash)
    : watch_(std::make_unique<ProcessWatch>()) {
    if (prepare != nullptr) prepare(host_);
    if (on_crash == OnCrash::one_line) crash_report_ = std::make_unique<CrashReport>(module_path);
    set_crash_phase("loading");
    const ModuleFile::Trial trial =
        on_crash == OnCrash::one_line ? ModuleFile::Trial::in_child : ModuleFile::Trial::none;
    if (!module_.load(module_path, trial)) {
        set_module_ending_phase("");
        throw ModuleError(module_.error());
    }
    lifecycle_.emplace(host_, module_.entry(), module_path);
    set_crash_phase("starting");
    lifecycle_->start();
    note(watch_->restore());
    if (crash_report_) {
        crash_report_->started(reinterpret_cast<const void*>(module_.entry()), "running");
    } else {
        set_crash_phase("running");
    }
}

void ModuleSession::set_crash_phase(const char* phase) {
    const std::lock_guard<std::mutex> lock(phase_mutex_);
    change_crash_phase(phase);
}

void ModuleSession::shading_begins() {
    const std::lock_guard<std::mutex> lock(phase_mutex_);
    if (shading_++ == 0) change_crash_phase("shading");
}

void ModuleSession::shading_ends() {
    const std::lock_guard<std::mutex> lock(phase_mutex_);
    if (--shading_ == 0) change_crash_phase("running");
}

void ModuleSession::change_crash_phase(const char* phase) {
    if (crash_report_)
        crash_report_->set_phase(phase);
    else
        set_module_ending_phase(phase);
}

ModuleSession::~ModuleSession() { finish(); }

void ModuleSession::require_shader(Trust trust) {
    if (!lifecycle_->all_as_expected()) abandon(why_not_started());
    if (!shader_.find(host_, kTonemixShaderId)) {
        abandon("the module registered no shader with id " + std::to_string(kTonemixShaderId));
    }
    description_ = host_.description_library().registered(kTonemixShaderId);
    if (description_ == nullptr) abandon("the module registered no description for its shader");
    if (!description_->fault().empty()) abandon(description_->fault());
    if (trust == Trust::checked) {
        const std::string why = disagreement();
        if (!why.empty()) {
            abandon("description " + description_->name() + " disagrees with the module: " + why +
                    " (--trust-description uses it as it is)");
        }
    }
}

void ModuleSession::require_resources() {
    if (lifecycle_->all_as_expected()) return;
    if (!host_.resources().last_error().empty() || host_.description_library().missing()) {
        abandon(why_not_started());
    }
}

std::string ModuleSession::disagreement() {
    void* node = shader_.create();
    if (node == nullptr) return std::string();  // the command reports the missing node itself
    Node& host_node = host_.containers().make_node();
    shader_.init_defaults(node, host_node);
    const std::vector<DefaultDifference> differences =
        compare_defaults(*description_, host_node.container);
    shader_.free_node(node);
    host_.containers().destroy(host_node);
    return differences.empty() ? std::string() : disagreement_text(differences.front());
}

std::string ModuleSession::why_not_started() const {
    std::string outcome;
    for (const MessageOutcome& message : lifecycle_->outcomes()) {
        if (message.sent && !message.as_expected()) {
            outcome = message.line();
            break;
        }
    }
    // What a user can mend comes first; the message numbers after it, for a module's developer.
    const std::vector<MessageOutcome>& outcomes = lifecycle_->outcomes();
    if (!outcomes.empty() && outcomes.front().result == TM_RESULT_INIT_REFUSED &&
        module_.path().size() >= kModulePathBytes) {
        return "the module's path is " + std::to_string(module_.path().size()) +
               " bytes, more than the " + std::to_string(kModulePathBytes - 1) +
               " a module keeps (a shorter folder mends it); the module did not start: " + outcome;
    }
    const std::string& reason = host_.resources().last_error();
    if (!reason.empty()) {
        return "resource not loaded: " + reason + " (looked for " +
               host_.resources().last_folder() + "); the module did not start: " + outcome;
    }
    if (const auto& missing = host_.description_library().missing()) {
        return "the module's description " + quoted(missing->name) + " was not found in " +
               (std::filesystem::path(missing->folder) / "description").string() +
               "; the module did not start: " + outcome;
    }
    return "the module did not start: " + outcome;
}

void ModuleSession::abandon(const std::string& why) {
    finish();
    throw ModuleError(why);
}

void ModuleSession::note(const std::vector<std::string>& changes) {
    for (const std::string& change : changes) host_.note_process_change(change);
}

std::vector<std::string> ModuleSession::finish() {
    if (finished_) return {};
    finished_ = true;
    // Before the end message: a renderer made after the session is gone first when an error
    // unwinds the render.
    host_.set_render_backend(nullptr);
    std::vector<std::string> lines;
    set_crash_phase("ending");
    if (lifecycle_) {
        host_.journal().set_enabled(true);
        if (!lifecycle_->end()) lines.push_back(lifecycle_->outcomes().back().line());
    }
    note(watch_->restore());
    const std::size_t threads = module_.loaded() ? watch_->threads_left() : 0;
    set_crash_phase("unloading");
    // Before the unload: a signal that comes once the module's code is gone (the end of a child
    // that after_unload ends) must not be sent to a handler of the module's.
    note(watch_->restore_signal_actions(crash_report_ ? CrashReport::handled_signals()
                                                      : std::vector<int>()));
    if (threads > 0) {
        host_.note_process_change(
            "the module left " + counted(threads, "thread", "threads") +
            " running after its end; the host keeps the module loaded, so that " +
            (threads == 1 ? "it does" : "they do") + " not run into unmapped code");
        module_.keep_loaded();
    } else {
        module_.unload();
    }
    if (crash_report_) {
        for (std::string& line : crash_report_->replaced_handlers()) lines.push_back(line);
    }
    std::vector<int> kept_signals;
    if (threads > 0 && crash_report_) {
        const std::vector<int> handled = CrashReport::handled_signals();
        if (CrashReport::keep_for_the_process(std::move(crash_report_))) kept_signals = handled;
    }
    crash_report_.reset();
    if (kept_signals.empty()) set_module_ending_phase("");
    note(watch_->after_unload(kept_signals));
    for (const std::string& line : host_.left_behind().lines()) lines.push_back(line);
    return lines;
}

}  // namespace tmhost
