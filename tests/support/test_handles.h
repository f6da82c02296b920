// The boundary's opaque handles made from the stand-in host's objects, or from anything a test
// wants to hand over as one (a pointer the host never made, to see it refused).
#ifndef TONEMIX_TEST_HANDLES_H
#define TONEMIX_TEST_HANDLES_H

#include "host/core/container_store.h"
#include "host/core/handles.h"
#include "host_api.h"

namespace tonemix_test {

template <typename Handle, typename Object>
Handle as(Object* object) {
    return tmhost::handle_of<Handle>(object);
}

inline HostContainerHandle handle(tmhost::Container& c) { return as<HostContainerHandle>(&c); }

}  // namespace tonemix_test

#endif
