// tonemix_bench [--module=PATH] [Google Benchmark flags]: the cases' progress on
// standard error, then on standard output one table row per case ("| case | ns per item | floor
// ns per item | ratio |"), the allocation row, and "note: ..." lines. scripts/bench puts them into
// bench/RESULTS.md. --module measures another build of the module against the same floors, such
// as one with a proposed change.
#include <cstring>
#include <iostream>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_cases.h"
#include "bench/bench_table.h"

namespace {

std::string checked(const char* what, const tonemix_bench::FloorCheck& check) {
    return std::to_string(check.cases - check.mismatches) + " of " + std::to_string(check.cases) +
           " " + what;
}

struct Options {
    std::string module = TONEMIX_MODULE_FILE;
};

// Takes the bench's own options out of the arguments, leaving Google Benchmark's.
Options own_options(int& argc, char** argv) {
    static const char kModule[] = "--module=";
    Options options;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kModule, sizeof kModule - 1) == 0) {
            options.module = argv[i] + sizeof kModule - 1;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[kept] = nullptr;
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = own_options(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    std::string why;
    if (!tonemix_bench::start_module(options.module, why)) {
        std::cerr << "tonemix_bench: " << why << "\n";
        tonemix_bench::finish_module();
        return 1;
    }
    // A floor that does not make the module's calls and draws would make every ratio a lie.
    const tonemix_bench::FloorCheck random_check = tonemix_bench::check_random_floors();
    const tonemix_bench::FloorCheck shading_check = tonemix_bench::check_shading_floors();
    if (random_check.mismatches != 0 || shading_check.mismatches != 0) {
        std::cerr << "tonemix_bench: floors differ from the module: "
                  << checked("random floors give the module's values", random_check) << ", "
                  << checked("shading floors make the module's calls and draws", shading_check)
                  << "\n";
        tonemix_bench::finish_module();
        return 1;
    }
    tonemix_bench::register_random_cases();
    tonemix_bench::register_shading_cases();
    tonemix_bench::register_thread_cases();

    tonemix_bench::TableReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const tonemix_bench::ShadingAllocations allocations = tonemix_bench::shading_allocations();
    const std::string left_behind = tonemix_bench::finish_module();
    if (allocations.calls != 0) {
        reporter.add_row("| compute_output: general_alloc calls in " +
                         std::to_string(allocations.calls) +
                         " calls between prepare_render and release_render (a count) | " +
                         std::to_string(allocations.allocations) + " | 0 | - |");
    }
    reporter.write_rows(std::cout);
    std::cout << "note: floors checked before timing: "
              << checked("random floors give the module's values bit for bit", random_check) << "; "
              << checked("shading floors make the module's host calls and draws", shading_check)
              << "\n";
    if (tonemix_bench::thread_case_node_distance() >= 0) {
        std::cout << "note: nodes allocated back to back lay "
                  << tonemix_bench::thread_case_node_distance() << " bytes apart\n";
    }
    if (options.module != TONEMIX_MODULE_FILE) {
        std::cout << "note: module measured: " << options.module << "\n";
    }
    if (!left_behind.empty()) std::cout << "note: the module left behind: " << left_behind;
    return left_behind.empty() ? 0 : 1;
}
