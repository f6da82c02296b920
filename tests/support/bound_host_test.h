// The module's objects linked into a test binary, bound to a stand-in host of their own.
#ifndef TONEMIX_BOUND_HOST_TEST_H
#define TONEMIX_BOUND_HOST_TEST_H

#include <gtest/gtest.h>

#include "host_binding.h"
#include "host_test_support.h"
#include "library_lookup.h"

namespace tonemix_test {

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

}  // namespace tonemix_test

#endif
