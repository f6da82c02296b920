// A module that crashes as it is loaded: an object of its own is made before the host can ask for
// c4d_main, and writes through a null pointer.
namespace {

struct CrashOnLoad {
    // Not caught early by the sanitizer build's check for null: the crash itself is the point.
    __attribute__((no_sanitize("undefined"))) CrashOnLoad() {
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    }
};

CrashOnLoad crash_on_load;

}  // namespace
