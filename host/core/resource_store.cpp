#include "host/core/resource_store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

namespace tmhost {

namespace fs = std::filesystem;

const Description* LoadedResource::description(const std::string& name) const {
    auto found = descriptions.find(name);
    return found != descriptions.end() ? &found->second : nullptr;
}

namespace {

// Reasons name the folder by its last part and files relative to it: they are printed by
// tonemix-host, whose output must read the same on every platform and in every checkout.
std::string folder_label(const fs::path& folder) {
    std::string name = folder.filename().string();
    if (name.empty()) name = folder.parent_path().filename().string();
    return "'" + name + "'";
}

bool read_file(const fs::path& file, std::string& content) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return false;
    content = buffer.str();
    return true;
}

}  // namespace

int32_t ResourceStore::fail(std::string reason) {
    last_error_ = reason;
    ResourceLoadAttempt attempt;
    attempt.reason = std::move(reason);
    attempts_.push_back(std::move(attempt));
    return 0;
}

int32_t ResourceStore::load(const std::string& folder_text) {
    last_folder_ = folder_text;
    if (folder_text.empty()) return fail("empty resource folder name");
    auto resource = std::make_unique<LoadedResource>();
    resource->folder = folder_text;
    try {
        const fs::path folder(folder_text);
        const std::string label = folder_label(folder);
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            return fail("resource folder " + label +
                        (fs::exists(folder, error) ? " is not a folder" : " not found"));
        }
        const fs::path descriptions = folder / "description";
        if (!fs::is_directory(descriptions, error)) {
            return fail("resource folder " + label + " has no description folder");
        }
        std::vector<fs::path> files;
        for (fs::directory_iterator it(descriptions, error), end; !error && it != end;
             it.increment(error)) {
            if (it->path().extension() == ".json" && it->is_regular_file()) {
                files.push_back(it->path());
            }
        }
        if (error) return fail("resource folder " + label + ": description folder unreadable");
        std::sort(files.begin(), files.end());  // the same order on every file system
        for (const fs::path& file : files) {
            const std::string shown = "description/" + file.filename().string();
            std::string content;
            if (!read_file(file, content)) return fail(shown + ": unreadable");
            nlohmann::json parsed;
            try {
                parsed = nlohmann::json::parse(content);
            } catch (const nlohmann::json::parse_error& e) {
                return fail(shown + ": " + e.what());
            }
            auto name = parsed.is_object() ? parsed.find("name") : parsed.end();
            if (!parsed.is_object() || name == parsed.end() || !name->is_string()) {
                return fail(shown + ": no string \"name\"");
            }
            const std::string key = name->get<std::string>();
            if (resource->descriptions.count(key) != 0) {
                return fail(shown + ": a second description named \"" + key + "\"");
            }
            resource->descriptions.emplace(key, Description::read(parsed));
        }
    } catch (const std::exception& e) {
        // Nothing may leave a host operation by exception: the module's frames cannot unwind.
        return fail(std::string("resource folder unreadable: ") + e.what());
    }

    const int32_t handle = ++last_handle_;
    ResourceLoadAttempt attempt;
    attempt.handle = handle;
    for (const auto& entry : resource->descriptions)
        attempt.description_names.push_back(entry.first);
    attempts_.push_back(std::move(attempt));
    loaded_.emplace(handle, std::move(resource));
    last_error_.clear();
    return handle;
}

void ResourceStore::free(int32_t handle) {
    if (loaded_.erase(handle) != 0) return;
    misuses_.add(handle > 0 && handle <= last_handle_
                     ? "resource_free: handle " + std::to_string(handle) + " was already freed"
                     : "resource_free: handle " + std::to_string(handle) + " was never loaded");
}

const LoadedResource* ResourceStore::find(int32_t handle) const {
    auto found = loaded_.find(handle);
    return found != loaded_.end() ? found->second.get() : nullptr;
}

const Description* ResourceStore::description(int32_t handle, const std::string& name) const {
    const LoadedResource* resource = find(handle);
    return resource != nullptr ? resource->description(name) : nullptr;
}

std::vector<int32_t> ResourceStore::live_handles() const {
    std::vector<int32_t> handles;
    for (const auto& entry : loaded_) handles.push_back(entry.first);
    return handles;
}

}  // namespace tmhost
