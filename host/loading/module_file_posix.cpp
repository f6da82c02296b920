#include "host/loading/module_file.h"

#include <string>

#include <dlfcn.h>

namespace tmhost {

bool ModuleFile::map(const std::string& path) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        return fail("not a loadable module: " + path + " (" + (why ? why : "unknown reason") + ")");
    }
    dlerror();
    void* entry = dlsym(module, "c4d_main");
    if (entry == nullptr) {
        dlclose(module);
        return fail("not a module of this host (no c4d_main): " + path);
    }
    handle_ = module;
    entry_ = reinterpret_cast<ModuleEntry>(entry);
    return true;
}

void ModuleFile::unload() {
    if (handle_ == nullptr) return;
    dlclose(handle_);
    handle_ = nullptr;
    entry_ = nullptr;
}

}  // namespace tmhost
