// A fresh folder under the system's temporary folder, removed with everything in it at the end of
// its scope. For tests of the host's file handling (resource folders, module files).
#ifndef TONEMIX_TEST_TEMPORARY_FOLDER_H
#define TONEMIX_TEST_TEMPORARY_FOLDER_H

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace tmhost {

class TemporaryFolder {
public:
    TemporaryFolder() {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device random;
        for (;;) {
            path_ = base / ("tonemix-host-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file below the folder, making the folders on the way; answers its full path.
    std::filesystem::path write(const std::string& relative, const std::string& content) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }

private:
    std::filesystem::path path_;
};

// The whole content of a file, or empty when it cannot be read.
inline std::string file_content(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tmhost

#endif
