#include "host/validate/standard_output_check.h"

#include <cstdio>

#include "host/validate/isolated_run.h"
#include "host/validate/output_descriptors.h"

namespace tmhost {

StandardOutputCatch::StandardOutputCatch() {
    std::fflush(stdout);
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return;
    caught_ = duplicate(fileno(file));
    std::fclose(file);
    if (caught_ < 0) return;
    saved_ = duplicate(1);
    if (saved_ < 0 || duplicate_onto(caught_, 1) < 0) {
        close_descriptor(caught_);
        caught_ = -1;
    }
}

StandardOutputCatch::~StandardOutputCatch() {
    std::fflush(stdout);
    if (saved_ >= 0) {
        duplicate_onto(saved_, 1);
        close_descriptor(saved_);
    }
    if (caught_ >= 0) close_descriptor(caught_);
}

long StandardOutputCatch::bytes() const {
    if (caught_ < 0) return -1;
    std::fflush(stdout);
    return descriptor_size(caught_);
}

void check_standard_output(const ValidationSettings& settings, Findings& findings) {
    long written = -1;
    {
        const StandardOutputCatch output;
        note_progress("a life with standard output caught");
        try {
            ModuleSession session(settings.module_path);
            session.finish();
        } catch (const ModuleError&) {
            // A module that cannot be loaded is the other checks' to report.
        }
        written = output.bytes();
    }
    if (written > 0) {
        findings.fail("the module wrote " + std::to_string(written) +
                      (written == 1 ? " byte" : " bytes") + " to standard output");
    }
}

}  // namespace tmhost
