// A module that starts a thread as it starts and never stops it: the thread runs the module's code
// for as long as the process lives, after the end message and the unload too.
#include "acts_at_start.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

namespace {

volatile unsigned long beats = 0;

void beat_for_ever() {
    for (;;) {
        beats = beats + 1;
#if defined(_WIN32)
        Sleep(1);
#else
        usleep(1000);
#endif
    }
}

#if defined(_WIN32)
DWORD WINAPI beating(void*) {
    beat_for_ever();
    return 0;
}
#else
void* beating(void*) {
    beat_for_ever();
    return nullptr;
}
#endif

}  // namespace

void act_at_start() {
#if defined(_WIN32)
    HANDLE thread = CreateThread(nullptr, 0, beating, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
#else
    pthread_t thread;
    if (pthread_create(&thread, nullptr, beating, nullptr) == 0) pthread_detach(thread);
#endif
}
