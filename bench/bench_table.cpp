#include "bench/bench_table.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tonemix_bench {

namespace {

const char kModuleSuffix[] = "/module";
const char kFloorSuffix[] = "/floor";

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string cell(double ns) { return ns < 0.0 ? "-" : format_ns(ns); }

}  // namespace

std::string format_ns(double ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", ns);
    return text;
}

std::string format_ratio(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ratio);
    return text;
}

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
        const auto items = run.counters.find("items_per_second");
        if (items == run.counters.end() || items->second.value <= 0.0) continue;
        const double ns = 1e9 / items->second.value;
        const std::string name = run.run_name.function_name;
        const bool floor = ends_with(name, kFloorSuffix);
        if (!floor && !ends_with(name, kModuleSuffix)) continue;
        const std::string key =
            name.substr(0, name.size() - (floor ? sizeof kFloorSuffix : sizeof kModuleSuffix) + 1);
        // Repetitions may come interleaved with other cases: the table keeps registration order.
        const bool first = timings_.count(key) == 0;
        Timing& timing = timings_[key];
        if (first || run.family_index < timing.order) timing.order = run.family_index;
        double& best = floor ? timing.floor_ns : timing.module_ns;
        if (best < 0.0 || ns < best) best = ns;
    }
    ConsoleReporter::ReportRuns(runs);
}

void TableReporter::write_rows(std::ostream& out) const {
    std::vector<std::pair<int64_t, std::string>> order;
    for (const auto& entry : timings_) order.emplace_back(entry.second.order, entry.first);
    std::sort(order.begin(), order.end());
    for (const auto& entry : order) {
        const std::string& key = entry.second;
        const Timing& timing = timings_.at(key);
        std::string ratio = "-";
        if (timing.module_ns >= 0.0 && timing.floor_ns > 0.0) {
            ratio = format_ratio(timing.module_ns / timing.floor_ns);
        }
        out << "| " << key << " | " << cell(timing.module_ns) << " | " << cell(timing.floor_ns)
            << " | " << ratio << " |\n";
    }
    for (const std::string& row : extra_rows_) out << row << "\n";
}

}  // namespace tonemix_bench
