// Helpers shared by tests that reach the stand-in host: where the built module and its resources
// are, and the host's books and library tables as the module sees them.
#ifndef TONEMIX_HOST_TEST_SUPPORT_H
#define TONEMIX_HOST_TEST_SUPPORT_H

#include <string>

#include "host/core/stand_in_host.h"

namespace tonemix_test {

inline std::string module_file() { return TONEMIX_MODULE_FILE; }

inline std::string resource_folder() {
    std::string file = module_file();
    return file.substr(0, file.find_last_of('/')) + "/res";
}

inline std::string left_behind_text(const tmhost::StandInHost& host) {
    std::string text;
    for (const std::string& line : host.left_behind().lines()) text += line + "\n";
    return text;
}

// The function table of library `id` exactly as the module reaches it (general_find_library,
// then general_library_table's third out value), or null.
template <class Table>
const Table* library_table_found(tmhost::StandInHost& host, int32_t id) {
    LibraryHandle library = host.table()->general->find_library(id, TM_LIBRARY_FIND_SIZE);
    void* out1 = nullptr;
    void* out2 = nullptr;
    void* out3 = nullptr;
    if (library == nullptr ||
        host.table()->general->library_table(library, &out1, &out2, &out3) == 0) {
        return nullptr;
    }
    return static_cast<const Table*>(out3);
}

}  // namespace tonemix_test

#endif
