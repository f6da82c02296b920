// The program's side of the render and describe commands: result lines on stdout, errors and
// warnings on stderr with the program's name, the module beside the program by default.
#ifndef TMHOST_RENDER_CONTEXT_H
#define TMHOST_RENDER_CONTEXT_H

#include "host/render/command_context.h"

namespace tmhost {

class ProgramReport : public CommandReport {
public:
    void out(const std::string& line) override;
    void error(const std::string& line) override;
    void warning(const std::string& line) override;
    bool show_progress() const override;
};

// A context whose report is `report`, which must outlive it.
CommandContext program_context(ProgramReport& report);

}  // namespace tmhost

#endif
