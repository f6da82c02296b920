// A node's parameter container, lent by the host for the length of one call.
#ifndef TONEMIX_HOST_CONTAINER_H
#define TONEMIX_HOST_CONTAINER_H

#include "host_api.h"

class HostContainer {
public:
    explicit HostContainer(HostContainerHandle container) : container_(container) {}
    static HostContainer of_node(HostNodeHandle host_node);

    // -1 when the id is absent.
    int32_t find_index(int32_t id) const;
    HostElementHandle get_data(int32_t id) const;

    // An id counts as absent only when find_index answers exactly -1; then the default comes back
    // and the typed getter is not asked.
    int32_t get_bool(int32_t id, int32_t default_value) const;
    int32_t get_long(int32_t id, int32_t default_value) const;
    float get_real(int32_t id, float default_value) const;
    // Null when absent: the host answers null for the null element of a missing id.
    ListDataHandle get_custom_data(int32_t id, int32_t type_id) const;

    int32_t set_bool(int32_t id, int32_t value) const;
    int32_t set_long(int32_t id, int32_t value) const;
    int32_t set_real(int32_t id, float value) const;

private:
    HostContainerHandle container_;
};

#endif
