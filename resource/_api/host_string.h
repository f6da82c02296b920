// A host string held in 16 bytes of its owner's storage. Every constructor starts host state that
// the destructor ends, so each path ends exactly what it began.
#ifndef TONEMIX_HOST_STRING_H
#define TONEMIX_HOST_STRING_H

#include "host_api.h"

class HostString {
public:
    explicit HostString(const char* text);
    HostString(const HostString& other);
    HostString& operator=(const HostString&) = delete;
    ~HostString();

    int32_t length() const;
    int32_t insert(int32_t position, const HostString& other);
    HostString& append(const HostString& other);

    HostStringHandle raw() const { return const_cast<HostStringStorage*>(&storage_); }

private:
    HostStringStorage storage_;
};
static_assert(sizeof(HostString) == sizeof(HostStringStorage), "a HostString is its host storage");

// a followed by b, as a new string; a and b are unchanged.
HostString concat(const HostString& a, const HostString& b);

// One line on the host console. Answers the host's result.
int32_t console_print(const HostString& line);

#endif
