#include <cerrno>
#include <cstdint>
#include <system_error>

#include <windows.h>

#include <process.h>

#include "host/http/sized_thread_shared.h"

namespace tmhost {

namespace {

unsigned __stdcall thread_entry(void* started) {
    threads::run_body(started);
    return 0;
}

}  // namespace

std::uintptr_t threads::start_thread(std::size_t stack_bytes, void* started) {
    // A reservation, not a commitment: the pages are committed as the stack grows.
    const std::uintptr_t handle =
        _beginthreadex(nullptr, static_cast<unsigned>(stack_bytes), thread_entry, started,
                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (handle == 0) throw std::system_error(errno, std::generic_category(), "_beginthreadex");
    return handle;
}

void threads::join_thread(std::uintptr_t native) {
    const HANDLE handle = reinterpret_cast<HANDLE>(native);
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
}

}  // namespace tmhost
