#include "host_filename.h"

#include <new>

#include "host_binding.h"

HostFilename::HostFilename() { host().filename->init(raw()); }

HostFilename::HostFilename(const HostString& path) {
    host().filename->init(raw());
    host().filename->set_string(raw(), path.raw());
}

HostFilename::HostFilename(const HostFilename& other) {
    host().filename->init(raw());
    host().filename->copy(other.raw(), raw());
}

HostFilename& HostFilename::operator=(const HostFilename& other) {
    host().filename->copy(other.raw(), raw());
    return *this;
}

HostFilename::~HostFilename() { host().filename->destroy(raw()); }

HostFilename* HostFilename::allocate_copy(const HostFilename& other) {
    HostFilenameHandle block = host().filename->alloc();
    if (block == nullptr) return nullptr;
    return new (block) HostFilename(other);
}

void HostFilename::delete_allocated(HostFilename* name) {
    HostFilenameHandle block = name->raw();
    name->~HostFilename();
    host().filename->free(block);
}
