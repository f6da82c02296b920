#include "host/json/json_paths.h"

namespace tmhost {

std::string member_path(const std::string& parent, const std::string& key) {
    return parent.empty() ? key : parent + "." + key;
}

std::string element_path(const std::string& parent, std::size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

std::string path_label(const std::string& path) { return path.empty() ? "top level" : path; }

}  // namespace tmhost
