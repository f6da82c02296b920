// The built module with its res/ folder copied below a temporary folder, at a path of exactly
// the length asked for: for tests of the longest path a module keeps.
#ifndef TONEMIX_TEST_MODULE_AT_LENGTH_H
#define TONEMIX_TEST_MODULE_AT_LENGTH_H

#include <filesystem>
#include <string>

#include "temporary_folder.h"

namespace tonemix_test {

// The file's path; folders of 200 bytes, then one that makes up the rest. The folder's own path
// must leave room for the file's name.
inline std::string module_at_length(const tmhost::TemporaryFolder& folder, std::size_t length) {
    namespace fs = std::filesystem;
    const std::string file = "/Tonemix.cdl";
    std::string path = folder.path().string();
    while (path.size() + 1 + 200 + file.size() < length) path += "/" + std::string(200, 'p');
    path += "/" + std::string(length - path.size() - 1 - file.size(), 'q');
    fs::create_directories(path);
    fs::copy_file(TONEMIX_MODULE_FILE, path + file);
    fs::copy(fs::path(TONEMIX_MODULE_FILE).parent_path() / "res", path + "/res",
             fs::copy_options::recursive);
    return path + file;
}

}  // namespace tonemix_test

#endif
