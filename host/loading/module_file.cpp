#include "host/loading/module_file.h"

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include "host/loading/module_headers.h"
#include "host/loading/trial_load.h"

namespace tmhost {

namespace {

// What a file that is no regular file is, or null for one that is.
const char* not_a_file(std::filesystem::file_type type) {
    switch (type) {
    case std::filesystem::file_type::regular:
        return nullptr;
    case std::filesystem::file_type::fifo:
        return "a FIFO";
    case std::filesystem::file_type::character:
        return "a character device";
    case std::filesystem::file_type::block:
        return "a block device";
    case std::filesystem::file_type::socket:
        return "a socket";
    default:
        return "no regular file";
    }
}

// The files left mapped by keep_loaded, by the name the file system gives them. Process-wide, as
// the mappings are.
std::mutex kept_mutex;
std::set<std::string> kept_files;

std::string file_identity(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

bool is_kept(const std::string& path) {
    std::lock_guard<std::mutex> lock(kept_mutex);
    return kept_files.count(file_identity(path)) != 0;
}

}  // namespace

void ModuleFile::keep_loaded() {
    if (handle_ != nullptr) {
        std::lock_guard<std::mutex> lock(kept_mutex);
        kept_files.insert(file_identity(path_));
    }
    handle_ = nullptr;
    entry_ = nullptr;
}

bool ModuleFile::fail(std::string message) {
    error_ = std::move(message);
    return false;
}

bool ModuleFile::load(const std::string& path, Trial trial) {
    unload();
    path_ = path;
    error_.clear();
    std::error_code status_error;
    const std::filesystem::file_status status = std::filesystem::status(path, status_error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return fail("module file not found: " + path);
    }
    // A path the system will not follow (too long, a loop of links, a folder it may not enter)
    // is not a missing file: the reason is what a user can mend.
    if (status_error) {
        const bool too_long = status_error == std::errc::filename_too_long;
        return fail("cannot open the module file: " + status_error.message() +
                    (too_long ? " (a path of " + std::to_string(path.size()) + " bytes)" : "") +
                    ": " + path);
    }
    if (std::filesystem::is_directory(status))
        return fail("not a module file but a folder: " + path);
    // Reading a FIFO's headers would wait for a writer; a device is no module either.
    if (const char* kind = not_a_file(status.type())) {
        return fail(std::string("not a module file but ") + kind + ": " + path);
    }
    if (is_kept(path)) {
        return fail("the module cannot be loaded afresh: an earlier load of " + path +
                    " is still mapped under a thread it left running");
    }
    // Before the system loader, which maps a cut file's missing segments and dies touching them.
    const std::string problem = module_file_header_problem(path);
    if (!problem.empty()) return fail("not a loadable module: " + path + ": " + problem);
    if (trial == Trial::in_child) {
        const std::string trial_error = trial_load_problem(path, trial_load(path));
        if (!trial_error.empty()) return fail(trial_error);
    }
    return map(path);
}

}  // namespace tmhost
