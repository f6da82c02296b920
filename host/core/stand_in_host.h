// The stand-in host: a HostTable whose every operation has real behaviour, and the C++ view of
// everything behind it for tests and for tonemix-host.
//
// One host is active at a time: the table's functions are C callbacks without a user pointer, so
// EntryCall (entry_call.cpp) and the trap in unserved slots (host_tables.cpp) find the host they
// serve in one process-wide pointer. A new host becomes active, and so does a host asked to
// activate(); while no host is active, calls answer their failure value and are counted.
//
// Replacing an operation: the sub-tables are the host's own and writable. A test may simply
// overwrite a slot,
//     host.tables().filename.alloc = my_alloc;
// and restore("filename_alloc") (or restore()) puts the host's own function back.
// Failing an operation: fail("filename_alloc") makes it answer its failure value (null, 0, -1
// for container_find_index; operations without a result do nothing) while it is still journaled.
// The functions of the host's own libraries ("listlib_contains", "desclib_get_id", ...) are
// operations like the table's: journaled, failed, replaced in their library's table and restored
// by the same calls.
//
// Threads: the module's calls come one at a time, except that a parallel renderer may call the
// render operations from several threads (the journal and the misuse log take that). Set-up,
// fail(), restore() and every read of the host's state belong to one thread, between calls.
#ifndef TMHOST_STAND_IN_HOST_H
#define TMHOST_STAND_IN_HOST_H

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/core/console.h"
#include "host/core/container_store.h"
#include "host/core/description_library.h"
#include "host/core/filename_store.h"
#include "host/core/host_tables.h"
#include "host/core/journal.h"
#include "host/core/left_behind.h"
#include "host/core/library_registry.h"
#include "host/core/list_library.h"
#include "host/core/memory_tracker.h"
#include "host/core/misuse_log.h"
#include "host/core/operations.h"
#include "host/core/plugin_registrations.h"
#include "host/core/render_backend.h"
#include "host/core/resource_store.h"
#include "host/core/string_store.h"
#include "host_api.h"

namespace tmhost {

class StandInHost {
public:
    static constexpr int32_t DEFAULT_VERSION = TM_HOST_API_MINIMUM;

    explicit StandInHost(int32_t version = DEFAULT_VERSION);
    ~StandInHost();
    StandInHost(const StandInHost&) = delete;
    StandInHost& operator=(const StandInHost&) = delete;

    static StandInHost* active();
    void activate();

    // What the module receives with its init message.
    HostTable* table() { return &tables_->table; }
    HostTables& tables() { return *tables_; }
    void set_version(int32_t version) { tables_->table.version = version; }

    // False for a name the host does not serve.
    bool fail(std::string_view operation);
    bool restore(std::string_view operation);  // the host's own function, and no failing
    void restore();                            // the same for every operation
    // True while a slot holds something else than the host's own function.
    bool is_replaced(std::string_view operation) const;

    Journal& journal() { return journal_; }
    MisuseLog& misuses() { return misuses_; }
    Console& console() { return console_; }
    StringStore& strings() { return strings_; }
    FilenameStore& filenames() { return filenames_; }
    MemoryTracker& memory() { return memory_; }
    ResourceStore& resources() { return resources_; }
    ContainerStore& containers() { return containers_; }
    LibraryRegistry& libraries() { return libraries_; }
    PluginRegistrations& registrations() { return registrations_; }
    // The host's own libraries, installed in libraries() under TM_LIBRARY_DESCRIPTION and
    // TM_LIBRARY_LIST from the start. A test may remove them from the registry, or overwrite slots
    // of their tables; install_own_libraries() puts both back in the registry.
    DescriptionLibrary& description_library() { return description_library_; }
    ListLibrary& list_library() { return list_library_; }
    const DescriptionLibrary& description_library() const { return description_library_; }
    const ListLibrary& list_library() const { return list_library_; }
    void install_own_libraries();
    const Journal& journal() const { return journal_; }
    const MisuseLog& misuses() const { return misuses_; }
    const Console& console() const { return console_; }
    const StringStore& strings() const { return strings_; }
    const FilenameStore& filenames() const { return filenames_; }
    const MemoryTracker& memory() const { return memory_; }
    const ResourceStore& resources() const { return resources_; }
    const PluginRegistrations& registrations() const { return registrations_; }

    // The renderer answering the render sub-table; null detaches it. Not owned.
    void set_render_backend(RenderBackend* backend) { render_backend_ = backend; }

    // Everything the module started and did not end, allocated and did not free, loaded and did
    // not release, and every misuse: empty when the module left nothing behind.
    LeftBehind left_behind() const;
    // What the module changed in the process and did not give back (a child process, a thread
    // still running, the umask), one line each, said once; found by the loading layer, kept here
    // with the rest of what the module left.
    void note_process_change(const std::string& line);

    // Calls that arrived while no host was active (each answered its failure value).
    static uint32_t calls_without_host();

private:
    // The entries' own view: whether to fail, where the renderer is, a call with no host.
    friend class EntryCall;
    bool is_failing(Operation operation) const {
        return !failing_.empty() && failing_.count(operation) != 0;
    }
    RenderBackend* render_backend() const { return render_backend_; }
    static void note_call_without_host(Operation operation);

    // The host's own function back in the operation's slot, in a sub-table or a library table.
    void restore_slot(const OperationInfo& info);
    std::unique_ptr<HostTables> tables_;
    std::unique_ptr<HostTables> pristine_;
    std::set<Operation> failing_;
    Journal journal_;
    MisuseLog misuses_;
    Console console_;
    StringStore strings_{misuses_};
    FilenameStore filenames_{misuses_, strings_};
    MemoryTracker memory_{misuses_};
    ResourceStore resources_{misuses_};
    ContainerStore containers_{misuses_};
    LibraryRegistry libraries_;
    PluginRegistrations registrations_;
    DescriptionLibrary description_library_{resources_, strings_, misuses_};
    ListLibrary list_library_{containers_, misuses_};
    RenderBackend* render_backend_ = nullptr;
    std::vector<std::string> process_changes_;
};

}  // namespace tmhost

#endif
