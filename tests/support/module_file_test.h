// A fresh load of the built module file, driven only through c4d_main.
#ifndef TONEMIX_MODULE_FILE_TEST_H
#define TONEMIX_MODULE_FILE_TEST_H

#include <gtest/gtest.h>

#include "host/loading/module_file.h"
#include "host_test_support.h"

namespace tonemix_test {

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
