#include "host/loading/module_file.h"

#include <string>

#include <windows.h>

namespace tmhost {

namespace {

std::string last_system_error() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length != 0 && text != nullptr ? std::string(text, length)
                                                         : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    // Some system messages keep an insert for the file name ("Bad EXE format for %1").
    for (std::size_t at; (at = message.find("%1")) != std::string::npos;) {
        message.replace(at, 2, "the file");
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

}  // namespace

bool ModuleFile::map(const std::string& path) {
    // No dialog box for a file that is not a module: the error comes back here instead.
    const UINT previous_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    const std::string load_error = module == nullptr ? last_system_error() : std::string();
    SetErrorMode(previous_mode);
    if (module == nullptr) return fail("not a loadable module: " + path + " (" + load_error + ")");
    FARPROC entry = GetProcAddress(module, "c4d_main");
    if (entry == nullptr) {
        FreeLibrary(module);
        return fail("not a module of this host (no c4d_main): " + path);
    }
    handle_ = module;
    entry_ = reinterpret_cast<ModuleEntry>(reinterpret_cast<void*>(entry));
    return true;
}

void ModuleFile::unload() {
    if (handle_ == nullptr) return;
    FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
    entry_ = nullptr;
}

}  // namespace tmhost
