#include "host/core/filename_store.h"

#include <algorithm>

#include "host/core/text_format.h"

namespace tmhost {

namespace {
constexpr uint32_t FILENAME_STARTED = 0x4e464d54;  // "TMFN"
constexpr uint32_t FILENAME_ENDED = 0x444e4644;    // "DFND"

#if defined(_WIN32)
constexpr const char* SEPARATORS = "/\\";
#else
constexpr const char* SEPARATORS = "/";
#endif
}  // namespace

FilenameStore::FilenameStore(MisuseLog& misuses, StringStore& strings)
    : misuses_(misuses),
      strings_(strings),
      names_("file name", FILENAME_STARTED, FILENAME_ENDED, misuses) {}

FilenameStore::~FilenameStore() {
    for (const auto& block : blocks_) delete block.first;
    for (const HostFilenameStorage* block : given_back_) delete block;
}

HostFilenameHandle FilenameStore::new_block() {
    HostFilenameHandle block = new HostFilenameStorage{};
    blocks_.emplace(block, ++last_block_serial_);
    return block;
}

bool FilenameStore::usable(const HostFilenameStorage* f, const char* operation) {
    if (given_back_.count(f) == 0) return true;
    misuses_.add(std::string(operation) + ": the block was already given back");
    return false;
}

const std::string* FilenameStore::text(const HostFilenameStorage* f) const {
    return given_back_.count(f) == 0 ? names_.peek(f) : nullptr;
}

const std::string* FilenameStore::text_for(HostFilenameHandle f, const char* operation) {
    return usable(f, operation) ? names_.find(f, operation) : nullptr;
}

HostFilenameHandle FilenameStore::alloc() { return new_block(); }

void FilenameStore::free(HostFilenameHandle f) {
    if (f == nullptr) {
        misuses_.add("filename_free: null file name");
        return;
    }
    if (!usable(f, "filename_free")) return;
    auto found = blocks_.find(f);
    if (found == blocks_.end()) {
        misuses_.add("filename_free: the file name was not allocated by the host");
        return;
    }
    if (names_.peek(f) != nullptr) names_.end(f, "filename_free");
    blocks_.erase(found);
    given_back_.insert(f);
}

void FilenameStore::set_string(HostFilenameHandle f, HostStringHandle s) {
    if (!usable(f, "filename_set_string")) return;
    std::string* name = names_.find(f, "filename_set_string");
    const std::string* text = strings_.text_for(s, "filename_set_string");
    if (name != nullptr && text != nullptr) *name = *text;
}

HostFilenameHandle FilenameStore::derive(HostFilenameHandle f) {
    const std::string* name = text_for(f, "filename_derive");
    if (name == nullptr || name->empty()) return nullptr;
    const std::string folder = resource_folder_of(*name);
    HostFilenameHandle block = new_block();
    start(block, folder);
    return block;
}

void FilenameStore::init(HostFilenameHandle f) {
    if (usable(f, "filename_init")) names_.start(f, "filename_init");
}

void FilenameStore::destroy(HostFilenameHandle f) {
    if (usable(f, "filename_destroy")) names_.end(f, "filename_destroy");
}

void FilenameStore::copy(HostFilenameHandle source, HostFilenameHandle destination) {
    if (!usable(source, "filename_copy") || !usable(destination, "filename_copy")) return;
    const std::string* from = names_.find(source, "filename_copy");
    std::string* to = names_.find(destination, "filename_copy");
    if (from != nullptr && to != nullptr && from != to) *to = *from;
}

void FilenameStore::start(HostFilenameHandle f, const std::string& path) {
    std::string* name = usable(f, "filename_init") ? names_.start(f, "filename_init") : nullptr;
    if (name != nullptr) *name = path;
}

std::string FilenameStore::resource_folder_of(const std::string& module_file) {
    const std::size_t cut = module_file.find_last_of(SEPARATORS);
    if (cut == std::string::npos) return "res";
    return module_file.substr(0, cut + 1) + "res";
}

std::vector<std::string> FilenameStore::live_texts_outside_blocks() const {
    std::vector<std::string> texts;
    for (const auto& live : names_.live()) {
        HostFilenameHandle storage = const_cast<HostFilenameHandle>(live.storage);
        if (blocks_.count(storage) == 0) texts.push_back(*live.value);
    }
    return texts;
}

std::vector<std::string> FilenameStore::block_descriptions() const {
    std::vector<std::pair<uint32_t, HostFilenameHandle>> ordered;
    for (const auto& block : blocks_) ordered.emplace_back(block.second, block.first);
    std::sort(ordered.begin(), ordered.end());
    std::vector<std::string> out;
    for (const auto& block : ordered) {
        const std::string* name = names_.peek(block.second);
        out.push_back(name != nullptr ? "holding " + quoted(*name) : "not started");
    }
    return out;
}

}  // namespace tmhost
