#include "host/commands/command.h"

#include "host/core/console.h"
#include "host/loading/module_session.h"
#include "program_version.h"

namespace tmhost {

namespace {

// The module's own version, as its banner on the host console states it ("- Tonemix 2.03"), or
// empty when it printed none.
std::string banner_of(const Console& console) {
    for (std::string line : console.lines()) {
        if (line.rfind("- ", 0) == 0) line.erase(0, 2);
        if (!line.empty()) return line;
    }
    return std::string();
}

}  // namespace

CommandOutput run_version(const CommandSettings& settings) {
    CommandOutput output;
    // The version and the system the program was built for, named by the build
    // (host/commands/CMakeLists.txt).
    output.out(std::string("tonemix-host ") + TONEMIX_PROGRAM_VERSION + " (" +
               TONEMIX_BUILD_SYSTEM + " build)");
    const std::string& path = settings.default_module;
    try {
        ModuleSession session(path, settings.prepare_host, ModuleSession::OnCrash::one_line);
        const std::string banner = banner_of(session.host().console());
        session.finish();
        output.out("module " + (banner.empty() ? std::string("(no banner)") : banner) + ": " +
                   path);
    } catch (const ModuleError& error) {
        output.out("module: not loaded: " + std::string(error.what()));
    }
    return output;
}

}  // namespace tmhost
