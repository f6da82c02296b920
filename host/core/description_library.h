// The host's description library (TM_LIBRARY_DESCRIPTION): which description each plug-in shows its
// parameters with, and the host's description ids that name one parameter.
//
// desclib_register takes the description from a resource the module loaded and keeps a copy, so
// the registration stays readable after the module has freed its resource. A description id is a
// host object the module never looks into: it hands it back to desclib_get_id, which answers one
// level of it as three words, word 0 the parameter id.
#ifndef TMHOST_DESCRIPTION_LIBRARY_H
#define TMHOST_DESCRIPTION_LIBRARY_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "host/core/description.h"
#include "host/core/misuse_log.h"
#include "host/core/resource_store.h"
#include "host/core/string_store.h"
#include "host_api.h"

namespace tmhost {

class DescriptionLibrary {
public:
    DescriptionLibrary(const ResourceStore& resources, StringStore& strings, MisuseLog& misuses);
    DescriptionLibrary(const DescriptionLibrary&) = delete;
    DescriptionLibrary& operator=(const DescriptionLibrary&) = delete;

    // What general_library_table hands out. A test may overwrite its slots; restore_table()
    // puts the library's own functions and bound back.
    DescriptionLibraryTable& table() { return table_; }
    const DescriptionLibraryTable& table() const { return table_; }
    void restore_table() { table_ = own_table(); }
    // The library's own functions and bound, which restore_table() and restore() put back.
    static DescriptionLibraryTable own_table();

    // The table's functions, for its C entries. register_description answers 1 when the resource
    // behind the handle holds a description of that name, else 0; get_id answers a zero record for
    // an id the library never made, or a level it does not have, and reports it.
    int32_t register_description(int32_t plugin_id, HostStringHandle name, int32_t resource_handle);
    const int32_t* get_id(const void* description_id, int32_t level);

    // A registration refused because the resource holds no description of the name: the name
    // and the resource's folder, for a message that says where the description was looked for.
    struct MissingDescription {
        std::string name;
        std::string folder;
    };
    const std::optional<MissingDescription>& missing() const { return missing_; }

    // The description recorded for a plug-in, or null.
    const Description* registered(int32_t plugin_id) const;
    // The one-level id of a parameter; the same object every time for the same parameter id.
    DescriptionIdHandle description_id(int32_t parameter_id);

private:
    struct DescriptionId {
        int32_t level0[3] = {0, 0, 0};
    };

    const ResourceStore& resources_;
    StringStore& strings_;
    MisuseLog& misuses_;
    DescriptionLibraryTable table_;
    std::map<int32_t, Description> registered_;
    std::optional<MissingDescription> missing_;
    mutable std::mutex ids_mutex_;
    std::map<int32_t, std::unique_ptr<DescriptionId>> ids_;
    const int32_t zero_record_[3] = {0, 0, 0};
};

}  // namespace tmhost

#endif
