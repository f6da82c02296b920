#include "host/core/left_behind.h"

#include "host/core/text_format.h"

namespace tmhost {

bool LeftBehind::empty() const {
    return strings.empty() && file_names.empty() && file_name_blocks.empty() &&
           allocations.empty() && resources.empty() && list_handles.empty() && misuses.empty() &&
           process.empty();
}

std::vector<std::string> LeftBehind::lines() const {
    std::vector<std::string> out;
    for (const std::string& text : strings) out.push_back("string never ended: " + quoted(text));
    for (const std::string& text : file_names) {
        out.push_back("file name never ended: " + quoted(text));
    }
    for (const std::string& block : file_name_blocks) {
        out.push_back("file name block never given back, " + block);
    }
    for (const std::string& allocation : allocations) {
        out.push_back("allocation never freed: " + allocation);
    }
    for (int32_t handle : resources) {
        out.push_back("resource never freed: handle " + std::to_string(handle));
    }
    for (const std::string& handle : list_handles) {
        out.push_back("light list handle never freed, holding " + handle);
    }
    for (const std::string& misuse : misuses) out.push_back("misuse: " + misuse);
    out.insert(out.end(), process.begin(), process.end());
    return out;
}

}  // namespace tmhost
