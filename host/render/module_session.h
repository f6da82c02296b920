// A built module loaded into a stand-in host for one command: loaded, started, its shader and
// the description it registered found; at the end, ended and unloaded, with what it left behind.
#ifndef TMHOST_MODULE_SESSION_H
#define TMHOST_MODULE_SESSION_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/core/module_file.h"
#include "host/core/module_lifecycle.h"
#include "host/core/shader_plugin.h"
#include "host/core/stand_in_host.h"
#include "host/render/parameter_sheet.h"

namespace tmhost {

// The plug-in id under which the module registers the Tonemix shader and its description.
constexpr int32_t kTonemixShaderId = 1007539;

// Called on the new host before the module is loaded; tests use it to make the host refuse or
// fail what they need.
using HostAdjustment = std::function<void(StandInHost&)>;

class ModuleSession {
public:
    // Throws RenderError with one line saying why: the file is missing or no module, the
    // module refused a message, registered no Tonemix shader or no usable description. A module
    // that started is ended and unloaded before the error leaves.
    explicit ModuleSession(const std::string& module_path, const HostAdjustment& adjust = {});
    ~ModuleSession();
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    StandInHost& host() { return host_; }
    const ShaderPlugin& shader() const { return shader_; }
    const ParameterSheet& sheet() const { return *sheet_; }

    // Ends and unloads the module; one line per thing it left behind (none when clean), and one
    // for an end message answered otherwise than expected.
    std::vector<std::string> finish();

private:
    [[noreturn]] void abandon(const std::string& why);

    // The host outlives the module: the module's unload-time clean-up may still call it.
    StandInHost host_;
    ModuleFile module_;
    std::optional<ModuleLifecycle> lifecycle_;
    ShaderPlugin shader_;
    std::optional<ParameterSheet> sheet_;
    bool finished_ = false;
};

}  // namespace tmhost

#endif
