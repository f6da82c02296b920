// The module's three random draws against the bare generator: the same state steps and the same
// polar-method arithmetic written out inline, giving the same values bit for bit.
#include <cmath>
#include <cstdint>

#include <benchmark/benchmark.h>

#include "bench/bench_cases.h"
#include "bench/stack_placement.h"
#include "random_stream.h"
#include "tonemix_parameters.h"

namespace tonemix_bench {

namespace {

// Draws per benchmark iteration: enough to hide the loop's own cost, even so a Gaussian pair.
constexpr int kDraws = 1000;

enum class Draw { uniform_signed, gauss_spread, gauss_centered };

template <Draw kind>
double module_draws(RandomStream& random, int count) {
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        if constexpr (kind == Draw::uniform_signed) {
            sum += random.uniform_signed();
        } else if constexpr (kind == Draw::gauss_spread) {
            sum += random.gauss_spread();
        } else {
            sum += random.gauss_centered();
        }
    }
    return sum;
}

inline uint32_t bare_step(uint32_t state) { return (state * 69069u + 69069u) & 0x7FFFFFFFu; }

inline double bare_uniform(uint32_t state) {
    double x = static_cast<double>(state) / 2147483648.0;
    return (x - 1.0) + x;
}

// Uniform draws from the bare generator.
double floor_uniform(uint32_t& state, int count) {
    double sum = 0.0;
    uint32_t s = state;
    for (int i = 0; i < count; ++i) {
        s = bare_step(s);
        sum += bare_uniform(s);
    }
    state = s;
    return sum;
}

// Gaussian draws in pairs by the polar method: the value of the second uniform first, then the
// value of the first one, kept as a float in between as the stream keeps it. `count` is even.
template <Draw kind>
double floor_gauss(uint32_t& state, int count) {
    const double scale = kind == Draw::gauss_spread ? 0.18 : 0.09;
    const double shift = kind == Draw::gauss_spread ? 0.0 : 0.5;
    double sum = 0.0;
    uint32_t s = state;
    for (int i = 0; i < count; i += 2) {
        double u1, u2, q;
        do {
            s = bare_step(s);
            u1 = bare_uniform(s);
            s = bare_step(s);
            u2 = bare_uniform(s);
            q = u1 * u1 + u2 * u2;
        } while (q >= 1.0 || q == 0.0);
        float qf = static_cast<float>(q);
        double m = std::sqrt((std::log(static_cast<double>(qf)) * -2.0) / qf);
        float second = static_cast<float>(u1 * m);
        if constexpr (kind == Draw::gauss_spread) {
            sum += (u2 * m) * scale;
            sum += static_cast<double>(second) * scale;
        } else {
            sum += (u2 * m) * scale + shift;
            sum += static_cast<double>(second) * scale + shift;
        }
    }
    state = s;
    return sum;
}

template <Draw kind>
double floor_draws(uint32_t& state, int count) {
    if constexpr (kind == Draw::uniform_signed) {
        return floor_uniform(state, count);
    } else {
        return floor_gauss<kind>(state, count);
    }
}

template <Draw kind>
__attribute__((noinline)) void draws_module_loop(benchmark::State& state) {
    RandomStream random;
    random.reseed(TonemixDefaults::seed);
    for (auto _ : state) {
        double sum = module_draws<kind>(random, kDraws);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kDraws);
}

template <Draw kind>
__attribute__((noinline)) void draws_floor_loop(benchmark::State& state) {
    uint32_t seed = static_cast<uint32_t>(TonemixDefaults::seed);
    for (auto _ : state) {
        double sum = floor_draws<kind>(seed, kDraws);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kDraws);
}

template <Draw kind>
void draws_module(benchmark::State& state) {
    static unsigned calls = 0;
    run_placed(calls, draws_module_loop<kind>, state);
}

template <Draw kind>
void draws_floor(benchmark::State& state) {
    static unsigned calls = 0;
    run_placed(calls, draws_floor_loop<kind>, state);
}

template <Draw kind>
bool same_values(int batches) {
    RandomStream random;
    random.reseed(TonemixDefaults::seed);
    uint32_t seed = static_cast<uint32_t>(TonemixDefaults::seed);
    for (int b = 0; b < batches; ++b) {
        double module = module_draws<kind>(random, kDraws);
        double bare = floor_draws<kind>(seed, kDraws);
        if (module != bare || static_cast<uint32_t>(random.seed) != seed) return false;
    }
    return true;
}

}  // namespace

void register_random_cases() {
    benchmark::RegisterBenchmark("random/uniform_signed/module",
                                 draws_module<Draw::uniform_signed>);
    benchmark::RegisterBenchmark("random/uniform_signed/floor", draws_floor<Draw::uniform_signed>);
    benchmark::RegisterBenchmark("random/gauss_spread/module", draws_module<Draw::gauss_spread>);
    benchmark::RegisterBenchmark("random/gauss_spread/floor", draws_floor<Draw::gauss_spread>);
    benchmark::RegisterBenchmark("random/gauss_centered/module",
                                 draws_module<Draw::gauss_centered>);
    benchmark::RegisterBenchmark("random/gauss_centered/floor", draws_floor<Draw::gauss_centered>);
}

FloorCheck check_random_floors() {
    FloorCheck check;
    const bool results[] = {same_values<Draw::uniform_signed>(20),
                            same_values<Draw::gauss_spread>(20),
                            same_values<Draw::gauss_centered>(20)};
    for (bool same : results) {
        ++check.cases;
        if (!same) ++check.mismatches;
    }
    return check;
}

}  // namespace tonemix_bench
