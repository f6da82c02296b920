#include "host_string.h"

#include "host_binding.h"

HostString::HostString(const char* text) {
    host().string->init(raw());
    host().string->set_cstr(raw(), text, -1, 0);
}

HostString::HostString(const HostString& other) {
    host().string->init(raw());
    host().string->copy(other.raw(), raw());
}

HostString::~HostString() { host().string->free(raw()); }

int32_t HostString::length() const { return host().string->length(raw()); }

int32_t HostString::insert(int32_t position, const HostString& other) {
    return host().string->insert(raw(), position, other.raw());
}

HostString& HostString::append(const HostString& other) {
    insert(length(), other);
    return *this;
}

HostString concat(const HostString& a, const HostString& b) {
    HostString joined(a);
    joined.append(b);
    return HostString(joined);
}

int32_t console_print(const HostString& line) { return host().general->print(line.raw()); }
