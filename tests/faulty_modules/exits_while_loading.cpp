// A module that ends the process with the code of a success as it is loaded: an object of its own
// is made before the host can ask for c4d_main, and calls exit(0).
#include <cstdlib>

namespace {

struct ExitOnLoad {
    ExitOnLoad() { std::exit(0); }
};

ExitOnLoad exit_on_load;

}  // namespace
