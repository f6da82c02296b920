#include "host/core/module_session.h"

namespace tmhost {

ModuleSession::ModuleSession(const std::string& module_path, PrepareHost prepare) {
    if (prepare != nullptr) prepare(host_);
    if (!module_.load(module_path)) throw ModuleError(module_.error());
    lifecycle_.emplace(host_, module_.entry(), module_path);
    lifecycle_->start();
}

ModuleSession::~ModuleSession() { finish(); }

void ModuleSession::require_shader() {
    if (!lifecycle_->all_as_expected()) {
        std::string why;
        for (const MessageOutcome& outcome : lifecycle_->outcomes()) {
            if (outcome.sent && !outcome.as_expected()) {
                why = outcome.line();
                break;
            }
        }
        const std::string& reason = host_.resources().last_error();
        if (!reason.empty()) why += "; resource not loaded: " + reason;
        abandon("the module did not start: " + why);
    }
    if (!shader_.find(host_, kTonemixShaderId)) {
        abandon("the module registered no shader with id " + std::to_string(kTonemixShaderId));
    }
    description_ = host_.description_library().registered(kTonemixShaderId);
    if (description_ == nullptr) abandon("the module registered no description for its shader");
    if (!description_->fault().empty()) abandon(description_->fault());
}

void ModuleSession::abandon(const std::string& why) {
    finish();
    throw ModuleError(why);
}

std::vector<std::string> ModuleSession::finish() {
    if (finished_) return {};
    finished_ = true;
    // Before the end message: a renderer made after the session is gone first when an error
    // unwinds the render.
    host_.set_render_backend(nullptr);
    std::vector<std::string> lines;
    if (lifecycle_) {
        host_.journal().set_enabled(true);
        if (!lifecycle_->end()) lines.push_back(lifecycle_->outcomes().back().line());
    }
    module_.unload();
    for (const std::string& line : host_.left_behind().lines()) lines.push_back(line);
    return lines;
}

}  // namespace tmhost
