// The one table the bench prints: every case beside its floor, measured in the same run.
//
// A case is a pair of benchmarks named CASE/module and CASE/floor, each reporting items processed.
// Repetitions are kept as their fastest run: the floor and the module share one machine and one
// run, and the fastest run is the one least disturbed by the rest of the machine.
#ifndef TONEMIX_BENCH_TABLE_H
#define TONEMIX_BENCH_TABLE_H

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace tonemix_bench {

class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // "| case | ns | floor ns | ratio |", one line per case in the order registered.
    void write_rows(std::ostream& out) const;
    // A row of the caller's own, such as a count.
    void add_row(std::string row) { extra_rows_.push_back(std::move(row)); }

private:
    struct Timing {
        double module_ns = -1.0;  // fastest nanoseconds per item; negative: not measured
        double floor_ns = -1.0;
        int64_t order = 0;  // the first registration of the case's benchmarks
    };
    std::map<std::string, Timing> timings_;
    std::vector<std::string> extra_rows_;
};

// Six significant digits: scripts/bench works out ratios across runs from these cells, so they
// must not be rounded for display yet ("1234.57", "20.7312").
std::string format_ns(double ns);
std::string format_ratio(double ratio);

}  // namespace tonemix_bench

#endif
