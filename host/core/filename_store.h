// Host file names: held in the module's 28-byte storage, or in 28-byte blocks the host allocates.
//
// A block from filename_alloc is not started: the module starts it with filename_init. A block
// from filename_derive comes started. filename_free gives a block back and ends its content first
// when it is still started, since the module hands derive's result back without destroying it.
//
// Blocks given back stay allocated (unused) until the host goes away. Their addresses are then
// never handed out again, so any later call naming one is known for what it is, a use after free,
// and the host never reads memory it has freed.
#ifndef TMHOST_FILENAME_STORE_H
#define TMHOST_FILENAME_STORE_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/core/misuse_log.h"
#include "host/core/storage_values.h"
#include "host/core/string_store.h"
#include "host_api.h"

namespace tmhost {

class FilenameStore {
public:
    FilenameStore(MisuseLog& misuses, StringStore& strings);
    ~FilenameStore();
    FilenameStore(const FilenameStore&) = delete;
    FilenameStore& operator=(const FilenameStore&) = delete;

    // The table's operations.
    HostFilenameHandle alloc();
    void free(HostFilenameHandle f);
    void set_string(HostFilenameHandle f, HostStringHandle s);
    HostFilenameHandle derive(HostFilenameHandle f);  // the resource folder beside the named module
                                                      // file; null for an empty name
    void init(HostFilenameHandle f);
    void destroy(HostFilenameHandle f);
    void copy(HostFilenameHandle source, HostFilenameHandle destination);

    // For tests and the host's own code, without the journal.
    void start(HostFilenameHandle f, const std::string& path);
    const std::string* text(const HostFilenameStorage* f) const;
    const std::string* text_for(HostFilenameHandle f, const char* operation);

    // The folder in which the host looks for a module's resources: "res" beside the module file.
    // Both separators count on Windows, only '/' elsewhere; the result keeps the path's own one.
    static std::string resource_folder_of(const std::string& module_file);

    // Names started and not ended (in any storage), oldest first.
    std::size_t live_count() const { return names_.live_count(); }
    // Started names not held in a host block: the module's own storage left started.
    std::vector<std::string> live_texts_outside_blocks() const;
    // Host blocks not given back, oldest first, with their content if started.
    std::size_t block_count() const { return blocks_.size(); }
    std::vector<std::string> block_descriptions() const;

private:
    HostFilenameHandle new_block();
    // False (reported) for a block already given back.
    bool usable(const HostFilenameStorage* f, const char* operation);

    MisuseLog& misuses_;
    StringStore& strings_;
    StorageValues<HostFilenameStorage, std::string> names_;
    std::map<HostFilenameHandle, uint32_t> blocks_;    // block -> allocation serial
    std::set<const HostFilenameStorage*> given_back_;  // owned until the host goes away
    uint32_t last_block_serial_ = 0;
};

}  // namespace tmhost

#endif
