// Helpers shared by the module's tests: a stand-in host bound to the module's objects linked into
// this binary, and a fresh load of the built module file.
#ifndef TONEMIX_MODULE_TEST_SUPPORT_H
#define TONEMIX_MODULE_TEST_SUPPORT_H

#include <string>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"
#include "host/loading/module_file.h"
#include "host_binding.h"
#include "library_lookup.h"

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

// The module's objects in this binary, bound to a stand-in host of their own.
class BoundHostTest : public ::testing::Test {
protected:
    // The module's library caches outlive a test's host; each test starts with them empty.
    void SetUp() override {
        bind_host_table(host.table());
        description_library_cache = nullptr;
        list_library_cache = nullptr;
    }
    void TearDown() override {
        EXPECT_TRUE(host.left_behind().empty()) << left_behind_text(host);
        bound_host_table = nullptr;
        description_library_cache = nullptr;
        list_library_cache = nullptr;
    }

    tmhost::StandInHost host;
};

// A fresh load of the built module file, driven only through c4d_main.
class ModuleFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module.load(module_file())) << module.error();
        entry = module.entry();
    }
    int32_t send(int32_t message, void* a = nullptr, void* b = nullptr, void* c = nullptr) {
        return entry(message, a, b, c);
    }
    int32_t init(const char* path) {
        return send(TM_MESSAGE_INIT, host.table(), nullptr, const_cast<char*>(path));
    }
    int32_t plugin_message(intptr_t id, void* data = nullptr) {
        return send(TM_MESSAGE_PLUGIN, reinterpret_cast<void*>(id), data);
    }

    tmhost::StandInHost host;
    tmhost::ModuleFile module;
    ModuleEntry entry = nullptr;
};

}  // namespace tonemix_test

#endif
