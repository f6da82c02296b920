// A symbolic link for a test, or the test skipped: Windows makes one only with a privilege, and
// its C runtime under wine makes none at all.
#ifndef TONEMIX_TEST_SYMBOLIC_LINK_H
#define TONEMIX_TEST_SYMBOLIC_LINK_H

#include <filesystem>
#include <system_error>

#include <gtest/gtest.h>

#define LINK_OR_SKIP(target, link)                                                         \
    do {                                                                                   \
        std::error_code link_error;                                                        \
        std::filesystem::create_symlink(target, link, link_error);                         \
        if (link_error) GTEST_SKIP() << "no symbolic link here: " << link_error.message(); \
    } while (false)

#endif
