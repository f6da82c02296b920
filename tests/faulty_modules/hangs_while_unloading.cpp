// A module whose own object never finishes its destructor: the unload (dlclose, FreeLibrary)
// does not come back.
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

struct HangOnUnload {
    ~HangOnUnload() {
        for (;;) {
#if defined(_WIN32)
            Sleep(1000);
#else
            sleep(1);
#endif
        }
    }
};

HangOnUnload hang_on_unload;

}  // namespace
