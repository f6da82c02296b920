// The boundary's handles are the host's own objects, which the module sees as opaque pointers of
// one type per kind. The host turns one into the other where the two meet.
#ifndef TMHOST_HANDLES_H
#define TMHOST_HANDLES_H

#include <type_traits>

namespace tmhost {

template <typename Handle, typename Object>
Handle handle_of(Object* object) {
    return reinterpret_cast<Handle>(const_cast<std::remove_const_t<Object>*>(object));
}

template <typename Object, typename Handle>
Object* object_of(Handle handle) {
    return reinterpret_cast<Object*>(handle);
}

}  // namespace tmhost

#endif
