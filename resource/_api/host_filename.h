// A host file name: held in 28 bytes of its owner's storage, or allocated by the host.
#ifndef TONEMIX_HOST_FILENAME_H
#define TONEMIX_HOST_FILENAME_H

#include "host_api.h"
#include "host_string.h"

class HostFilename {
public:
    HostFilename();
    explicit HostFilename(const HostString& path);
    HostFilename(const HostFilename& other);
    HostFilename& operator=(const HostFilename& other);
    ~HostFilename();

    HostFilenameHandle raw() const { return const_cast<HostFilenameStorage*>(&storage_); }

    // A host-allocated file name holding a copy of other, or null when the host has no memory.
    // Host allocations of this kind are booked as 28 bytes from line 59 of
    // resource/_api/c4d_resource; the host is told none of that.
    static HostFilename* allocate_copy(const HostFilename& other);
    // Ends a name from allocate_copy and gives its storage back to the host.
    static void delete_allocated(HostFilename* name);

private:
    HostFilenameStorage storage_;
};
static_assert(sizeof(HostFilename) == sizeof(HostFilenameStorage),
              "a HostFilename is its host storage");

#endif
