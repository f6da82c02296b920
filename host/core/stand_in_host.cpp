#include "host/core/stand_in_host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace tmhost {

namespace {
StandInHost* active_host = nullptr;  // read on every host call
std::atomic<uint32_t> calls_without_active_host{0};
}  // namespace

StandInHost::StandInHost(int32_t version)
    : tables_(std::make_unique<HostTables>(version)),
      pristine_(std::make_unique<HostTables>(version)) {
    install_own_libraries();
    activate();
}

StandInHost::~StandInHost() {
    // A host that ends hands the place to no other: one that was made earlier may be in any state,
    // and a call meant for the host that ended must not reach it.
    if (active_host == this) active_host = nullptr;
}

StandInHost* StandInHost::active() { return active_host; }

void StandInHost::activate() { active_host = this; }

void StandInHost::install_own_libraries() {
    libraries_.install(TM_LIBRARY_DESCRIPTION, &description_library_.table().header);
    libraries_.install(TM_LIBRARY_LIST, &list_library_.table().header);
}

bool StandInHost::fail(std::string_view operation) {
    const OperationInfo* info = find_operation(operation);
    if (info == nullptr) return false;
    failing_.insert(info->operation);
    return true;
}

bool StandInHost::restore(std::string_view operation) {
    const OperationInfo* info = find_operation(operation);
    if (info == nullptr) return false;
    failing_.erase(info->operation);
    restore_slot(*info);
    return true;
}

void StandInHost::restore() {
    failing_.clear();
    for (const OperationInfo& info : all_operations()) restore_slot(info);
}

void StandInHost::restore_slot(const OperationInfo& info) {
    if (info.table == SubTable::description_library) {
        copy_table_slot(DescriptionLibrary::own_table(), description_library_.table(), info.offset);
    } else if (info.table == SubTable::list_library) {
        copy_table_slot(ListLibrary::own_table(), list_library_.table(), info.offset);
    } else {
        tables_->copy_slot(*pristine_, info.operation);
    }
}

bool StandInHost::is_replaced(std::string_view operation) const {
    const OperationInfo* info = find_operation(operation);
    if (info == nullptr) return false;
    if (info->table == SubTable::description_library) {
        return !same_table_slot(DescriptionLibrary::own_table(), description_library_.table(),
                                info->offset);
    }
    if (info->table == SubTable::list_library) {
        return !same_table_slot(ListLibrary::own_table(), list_library_.table(), info->offset);
    }
    return !tables_->same_slot(*pristine_, info->operation);
}

LeftBehind StandInHost::left_behind() const {
    LeftBehind report;
    report.strings = strings_.live_texts();
    report.file_names = filenames_.live_texts_outside_blocks();
    report.file_name_blocks = filenames_.block_descriptions();
    for (const Allocation& allocation : memory_.live()) {
        report.allocations.push_back(describe(allocation));
    }
    report.resources = resources_.live_handles();
    report.list_handles = list_library_.live_descriptions();
    report.misuses = misuses_.messages();
    report.process = process_changes_;
    return report;
}

void StandInHost::note_process_change(const std::string& line) {
    if (std::find(process_changes_.begin(), process_changes_.end(), line) ==
        process_changes_.end()) {
        process_changes_.push_back(line);
    }
}

uint32_t StandInHost::calls_without_host() { return calls_without_active_host; }

void StandInHost::note_call_without_host(Operation operation) {
    // Nothing to journal into: say it once on stderr, so a module calling after its host has gone
    // is not silent.
    if (calls_without_active_host++ == 0) {
        std::fprintf(stderr, "tonemix host: %s called with no active host\n",
                     operation_name(operation));
    }
}

}  // namespace tmhost
