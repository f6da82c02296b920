// A module that ends the process as it is unloaded: an object of its own calls _Exit(5), which,
// as _exit, skips every exit hook of the host, from its destructor.
#include <cstdlib>

namespace {

struct ExitOnUnload {
    ~ExitOnUnload() { std::_Exit(5); }
};

ExitOnUnload exit_on_unload;

}  // namespace
