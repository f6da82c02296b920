#include "host/core/resource_store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

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

// A description is small. A file far larger than any is refused as soon as it proves too long,
// before it takes the host's memory; a regular file's size is no promise (a file of /proc has
// none, and a file may grow while it is read).
constexpr std::size_t kMaxDescriptionBytes = std::size_t{64} << 20;

// The file's bytes, or why there are none: "unreadable" or "more than 64 MiB".
std::string read_file(const fs::path& file, std::string& content) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return "unreadable";
    content.clear();
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        const std::size_t count = static_cast<std::size_t>(in.gcount());
        if (count > kMaxDescriptionBytes - content.size()) {
            return "more than " + std::to_string(kMaxDescriptionBytes >> 20) + " MiB";
        }
        content.append(buffer, count);
    }
    return in.bad() ? "unreadable" : "";
}

// What the entry at `path` is when it is not `wanted`, for a reason: "a FIFO, not a folder"; the
// system's reason when it cannot say (a loop of links, a folder it may not enter); empty when
// it is `wanted`. `missing` is the reason when there is nothing there.
std::string kind_problem(const fs::path& path, fs::file_type wanted, const std::string& missing) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) return missing;
    if (error) return error.message();
    if (status.type() == wanted) return "";
    const std::string what = wanted == fs::file_type::directory ? "folder" : "file";
    switch (status.type()) {
    case fs::file_type::directory:
        return "a folder, not a " + what;
    case fs::file_type::regular:
        return "a file, not a " + what;
    case fs::file_type::fifo:
        return "a FIFO, not a " + what;
    case fs::file_type::character:
        return "a character device, not a " + what;
    case fs::file_type::block:
        return "a block device, not a " + what;
    case fs::file_type::socket:
        return "a socket, not a " + what;
    default:
        return "not a " + what;
    }
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
        const std::string folder_problem =
            kind_problem(folder, fs::file_type::directory, "not found");
        if (folder_problem == "not found") return fail("resource folder " + label + " not found");
        if (!folder_problem.empty())
            return fail("resource folder " + label + ": " + folder_problem);
        const fs::path descriptions = folder / "description";
        const std::string descriptions_problem =
            kind_problem(descriptions, fs::file_type::directory, "not found");
        if (descriptions_problem == "not found") {
            return fail("resource folder " + label + " has no description folder");
        }
        if (!descriptions_problem.empty()) {
            return fail("resource folder " + label + ": description: " + descriptions_problem);
        }
        std::vector<fs::path> files;
        for (fs::directory_iterator it(descriptions, error), end; !error && it != end;
             it.increment(error)) {
            if (it->path().extension() != ".json") continue;
            // A FIFO would keep the read waiting for a writer, a device might never end.
            const std::string problem = kind_problem(it->path(), fs::file_type::regular, "");
            if (problem == "a folder, not a file") continue;
            if (!problem.empty()) {
                return fail("description/" + it->path().filename().string() + ": " + problem);
            }
            files.push_back(it->path());
        }
        if (error) {
            return fail("resource folder " + label +
                        ": description folder unreadable: " + error.message());
        }
        std::sort(files.begin(), files.end());  // the same order on every file system
        for (const fs::path& file : files) {
            const std::string shown = "description/" + file.filename().string();
            std::string content;
            const std::string unread = read_file(file, content);
            if (!unread.empty()) return fail(shown + ": " + unread);
            Description description;
            try {
                description = Description::read(content);
            } catch (const DescriptionTextError& e) {
                return fail(shown + ": " + e.what());
            }
            const std::string key = description.name();
            if (resource->descriptions.count(key) != 0) {
                return fail(shown + ": a second description named \"" + key + "\"");
            }
            resource->descriptions.emplace(key, std::move(description));
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
