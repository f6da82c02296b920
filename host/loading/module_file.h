// A module file loaded into the host process, and its one entry, c4d_main.
//
// Linux: dlopen(RTLD_NOW | RTLD_LOCAL) and dlclose; the module is built so that dlclose really
// unloads it, so loading the same file again gives a fresh module. Windows: LoadLibraryA and
// FreeLibrary.
#ifndef TMHOST_MODULE_FILE_H
#define TMHOST_MODULE_FILE_H

#include <cstddef>
#include <string>

#include "host_api.h"

namespace tmhost {

// A module keeps the path its init message brings in a buffer of this many bytes, the zero at
// its end included, and may refuse a longer one: the reason to name when its init says no.
constexpr std::size_t kModulePathBytes = 1028;

class ModuleFile {
public:
    ModuleFile() = default;
    ~ModuleFile() { unload(); }
    ModuleFile(const ModuleFile&) = delete;
    ModuleFile& operator=(const ModuleFile&) = delete;

    // Whether the file is first loaded in a child process (trial_load.h), where a crash as it
    // loads or the system's loader stopping ends only the child.
    enum class Trial { none, in_child };

    // False with error() saying why: the file is missing or not a regular file (a FIFO, a
    // device), its path is one the system will not follow (too long, a loop of links), it is
    // not a loadable module (a file cut
    // short is found by its own headers, module_headers.h, before the system loads it), has no
    // c4d_main, or, on trial, crashed or stopped the loader in the child. A module already loaded
    // is unloaded first.
    bool load(const std::string& path, Trial trial = Trial::none);
    // Runs the module's unload-time clean-up; the entry is gone afterwards.
    void unload();
    // Leaves the module mapped for the rest of the process, without its clean-up: a thread it
    // started still runs its code. The entry is gone afterwards all the same, and a later load of
    // the same file in this process fails: the system would hand back the module as it was left,
    // bound to a host that is gone.
    void keep_loaded();

    bool loaded() const { return handle_ != nullptr; }
    ModuleEntry entry() const { return entry_; }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    bool fail(std::string message);
    // The system's loader maps the checked file and finds c4d_main; fail()'s answer when not.
    bool map(const std::string& path);

    void* handle_ = nullptr;
    ModuleEntry entry_ = nullptr;
    std::string path_;
    std::string error_;
};

}  // namespace tmhost

#endif
