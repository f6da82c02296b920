// A module keeps the path its init message brings in a buffer of 1028 bytes, and refuses a
// longer one with the code of a missing path: the host says which it was, not only "-3".
#include <string>

#include <gtest/gtest.h>

#include "host/loading/module_file.h"
#include "host/loading/module_session.h"
#include "module_at_length.h"
#include "temporary_folder.h"

namespace {

// The built module at a path of exactly `length` bytes.
std::string module_at_length(const tmhost::TemporaryFolder& folder, std::size_t length) {
    const std::string path = tonemix_test::module_at_length(folder, length);
    EXPECT_EQ(path.size(), length);
    return path;
}

std::string refusal(const std::string& path) {
    try {
        tmhost::ModuleSession session(path);
        session.require_shader();
    } catch (const tmhost::ModuleError& error) {
        return error.what();
    }
    return "";
}

TEST(ModulePathLength, TheLongestPathAModuleKeepsStartsAndOneByteMoreIsNamed) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows loads no module from a path past 260 bytes";
#endif
    tmhost::TemporaryFolder folder;
    ASSERT_LT(folder.path().string().size(), 600u) << "the temporary folder is too deep";
    EXPECT_EQ(refusal(module_at_length(folder, tmhost::kModulePathBytes - 1)), "");
    const std::string longer = module_at_length(folder, tmhost::kModulePathBytes);
    EXPECT_EQ(refusal(longer),
              "the module's path is 1028 bytes, more than the 1027 a module keeps (a shorter "
              "folder mends it); the module did not start: message 1 (init): -3 (expected 1)");
}

}  // namespace
