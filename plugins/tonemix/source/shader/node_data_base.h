// The base of every node object the module hands to the host.
#ifndef TONEMIX_NODE_DATA_BASE_H
#define TONEMIX_NODE_DATA_BASE_H

#include "memory.h"

class NodeDataBase {
public:
    virtual ~NodeDataBase() {}
    // Nodes live in the host's memory, so deleting one gives it back there.
    static void operator delete(void* p) { mem_free(p); }
};

#endif
