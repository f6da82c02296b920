// compute_output of the built module, loaded through c4d_main and called through its registration
// record as a host calls it, against a floor: a plain loop making the same host calls through the
// same function pointers and the same random draws, and nothing else.
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_cases.h"
#include "bench/constant_host.h"
#include "bench/stack_placement.h"
#include "host/core/point_light_renderer.h"
#include "host/core/stand_in_host.h"
#include "host/loading/module_session.h"
#include "host/render/render_error.h"
#include "host/render/shader_instance.h"
#include "random_stream.h"
#include "shader_registration.h"
#include "tonemix_parameters.h"
#include "tonemix_shader.h"

namespace tonemix_bench {

namespace {

struct Sampling {
    const char* name;
    int32_t mode;
    int32_t jitter;
    int32_t gaussian;
};

const Sampling kSamplings[] = {
    {"scatter_gauss", MODE_SCATTER, 0, 1},
    {"scatter_uniform", MODE_SCATTER, 0, 0},
    {"line_even", MODE_ALONG_NORMAL, 0, 1},
    {"line_jitter", MODE_ALONG_NORMAL, 1, 1},
};
const int32_t kSampleCounts[] = {1, 8, 64};
const int32_t kLightCounts[] = {1, 4, 16};

struct ShadingCase {
    int32_t samples;
    int32_t lights;
    Sampling sampling;
    bool list;
    // The floor also adds up each lit light's colour, as any shader that averages light must.
    bool summing_floor = false;

    std::string name() const {
        return "compute_output/s" + std::to_string(samples) + "_l" + std::to_string(lights) + "/" +
               sampling.name + (list ? "_list" : "") + (summing_floor ? "+sum" : "");
    }
};

const float kPoint[3] = {1.0f, 2.0f, 3.0f};
const float kNormal[3] = {0.0f, 1.0f, 0.0f};

struct LoadedModule {
    explicit LoadedModule(const std::string& path) : session(path) { session.require_shader(); }

    tmhost::ModuleSession session;
    // Lent to a node's container when a case uses a list; names no light of the constant scene.
    tmhost::LightListData list_data;
    unsigned char listed_object = 0;
    ShadingAllocations allocations;

    tmhost::StandInHost& host() { return session.host(); }
};

std::unique_ptr<LoadedModule> loaded;

// A shader node made, given its parameters and prepared for a render through the record, as a
// host does; released and freed at the end of the scope.
class PreparedNode {
public:
    PreparedNode(LoadedModule& module, const ShadingCase& shading)
        : instance_(module.session.shader(), module.host().containers()) {
        instance_.init_defaults();
        tmhost::Container& values = instance_.container();
        values.set_long(TONEMIX_SAMPLES, shading.samples);
        values.set_long(TONEMIX_MODE, shading.sampling.mode);
        values.set_bool(TONEMIX_JITTER, shading.sampling.jitter);
        values.set_bool(TONEMIX_GAUSSIAN, shading.sampling.gaussian);
        if (shading.list) values.set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &module.list_data);
        instance_.prepare();
    }

    void* node() const { return instance_.node(); }
    // The node's stream, read through the module's own class layout.
    RandomStream random() const { return static_cast<TonemixShader*>(node())->random.current(); }

private:
    tmhost::ShaderInstance instance_;
};

// Makes `prepared` for the case; false with `why` when the module makes no node.
bool prepare(std::optional<PreparedNode>& prepared, LoadedModule& module,
             const ShadingCase& shading, std::string& why) {
    try {
        prepared.emplace(module, shading);
        return true;
    } catch (const tmhost::ModuleError& error) {
        why = error.what();
        return false;
    }
}

void floor_draws(RandomStream& random, const Sampling& sampling) {
    if (sampling.mode == MODE_SCATTER) {
        for (int k = 0; k < 3; ++k) {
            benchmark::DoNotOptimize(sampling.gaussian != 0 ? random.gauss_spread()
                                                            : random.uniform_signed());
        }
        benchmark::DoNotOptimize(random.gauss_centered());
    } else if (sampling.jitter != 0) {
        benchmark::DoNotOptimize(sampling.gaussian != 0 ? random.gauss_spread()
                                                        : random.uniform_signed());
    }
}

// One shaded point's host calls and draws: per evaluation point the light count, then per light
// get_light, the list's answer when a list is used, and illuminate for a light it accepts. With
// `sums`, also each lit light's colour added to them, the least the shader itself must do.
void floor_point(const HostRender& render, const ListLibraryTable* list, const ShadingCase& shading,
                 RandomStream& random, RenderContext* context, float colour[3], float work[3],
                 float* sums) {
    for (int32_t i = 0; i < shading.samples; ++i) {
        if (i > 0) floor_draws(random, shading.sampling);
        for (int32_t index = render.light_count(context) - 1; index >= 0; --index) {
            LightRecord* light = render.get_light(context, index);
            if (list != nullptr && list->listlib_contains(nullptr, light->scene_object) == 1) {
                continue;
            }
            if (render.illuminate(context, light, colour, work, context->p, work, 1, 0) != 0 &&
                sums != nullptr) {
                sums[0] += colour[0];
                sums[1] += colour[1];
                sums[2] += colour[2];
            }
        }
    }
}

__attribute__((noinline)) void shade_module_loop(benchmark::State& state,
                                                 const ShadingCase& shading) {
    LoadedModule& module = *loaded;
    set_light_count(shading.lights);
    install_constant_slots(module.host(), false);
    std::optional<PreparedNode> prepared;
    std::string why;
    if (!prepare(prepared, module, shading, why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    tmhost::ShadingPoint point;
    point.set(kPoint, kNormal, 0, 1);
    const ComputeOutputEntry entry = module.session.shader().record().compute_output;
    void* node = prepared->node();
    float colour[3] = {0.0f, 0.0f, 0.0f};
    const std::size_t allocations = module.host().journal().count("general_alloc");
    for (auto _ : state) {
        entry(node, colour, 0, &point.input);
        benchmark::DoNotOptimize(colour[0]);
    }
    module.allocations.calls += state.iterations();
    module.allocations.allocations +=
        static_cast<long long>(module.host().journal().count("general_alloc") - allocations);
    state.SetItemsProcessed(state.iterations());
}

__attribute__((noinline)) void shade_floor_loop(benchmark::State& state,
                                                const ShadingCase& shading) {
    LoadedModule& module = *loaded;
    set_light_count(shading.lights);
    install_constant_slots(module.host(), false);
    const HostRender& render = module.host().tables().render;
    const ListLibraryTable* list = shading.list ? &module.host().list_library().table() : nullptr;
    RandomStream random;
    random.reseed(TonemixDefaults::seed);
    tmhost::ShadingPoint point;
    point.set(kPoint, kNormal, 0, 1);
    float colour[3] = {0.0f, 0.0f, 0.0f};
    float work[3] = {0.0f, 0.0f, 0.0f};
    float sums[3] = {0.0f, 0.0f, 0.0f};
    float* const summing = shading.summing_floor ? sums : nullptr;
    for (auto _ : state) {
        floor_point(render, list, shading, random, &point.context, colour, work, summing);
        benchmark::DoNotOptimize(colour[0]);
        benchmark::DoNotOptimize(sums[0]);
    }
    state.SetItemsProcessed(state.iterations());
}

void shade_module(benchmark::State& state, const ShadingCase& shading, unsigned* calls) {
    run_placed(*calls, shade_module_loop, state, shading);
}

void shade_floor(benchmark::State& state, const ShadingCase& shading, unsigned* calls) {
    run_placed(*calls, shade_floor_loop, state, shading);
}

// The targets' sizes: each of their cases is measured against the summing floor too.
bool has_target(int32_t samples, int32_t lights) {
    return (samples == 8 && lights == 4) || (samples == 64 && lights == 16);
}

std::vector<ShadingCase> shading_cases() {
    std::vector<ShadingCase> cases;
    for (int32_t samples : kSampleCounts) {
        for (int32_t lights : kLightCounts) {
            for (const Sampling& sampling : kSamplings) {
                for (bool list : {false, true}) {
                    cases.push_back({samples, lights, sampling, list});
                    if (has_target(samples, lights)) {
                        cases.push_back({samples, lights, sampling, list, true});
                    }
                }
                // One sample point is the start point alone: no rule is used, no draw made.
                if (samples == 1) break;
            }
        }
    }
    return cases;
}

// The module's calls and draws over some points against the floor's, from the same seed.
bool floor_matches(const ShadingCase& shading) {
    constexpr int kPoints = 50;
    LoadedModule& module = *loaded;
    set_light_count(shading.lights);
    install_constant_slots(module.host(), true);
    tmhost::ShadingPoint point;
    point.set(kPoint, kNormal, 0, 1);
    float colour[3] = {0.0f, 0.0f, 0.0f};

    std::optional<PreparedNode> prepared;
    std::string why;
    if (!prepare(prepared, module, shading, why)) return false;
    call_counts() = CallCounts();
    for (int i = 0; i < kPoints; ++i) {
        module.session.shader().record().compute_output(prepared->node(), colour, 0, &point.input);
    }
    const CallCounts module_calls = call_counts();

    const ListLibraryTable* list = shading.list ? &module.host().list_library().table() : nullptr;
    RandomStream random;
    random.reseed(TonemixDefaults::seed);
    float work[3] = {0.0f, 0.0f, 0.0f};
    call_counts() = CallCounts();
    for (int i = 0; i < kPoints; ++i) {
        floor_point(module.host().tables().render, list, shading, random, &point.context, colour,
                    work, nullptr);
    }
    install_constant_slots(module.host(), false);
    return call_counts() == module_calls && random.seed == prepared->random().seed &&
           random.has_spare == prepared->random().has_spare;
}

}  // namespace

bool start_module(const std::string& path, std::string& why) {
    try {
        loaded = std::make_unique<LoadedModule>(path);
    } catch (const tmhost::ModuleError& error) {
        why = error.what();
        return false;
    }
    loaded->list_data.scene_objects.push_back(&loaded->listed_object);
    return true;
}

void register_shading_cases() {
    static std::deque<unsigned> calls;  // per benchmark: the placements it has taken
    for (const ShadingCase& shading : shading_cases()) {
        calls.push_back(0);
        benchmark::RegisterBenchmark((shading.name() + "/module").c_str(), shade_module, shading,
                                     &calls.back());
        calls.push_back(0);
        benchmark::RegisterBenchmark((shading.name() + "/floor").c_str(), shade_floor, shading,
                                     &calls.back());
    }
}

FloorCheck check_shading_floors() {
    FloorCheck check;
    for (const ShadingCase& shading : shading_cases()) {
        ++check.cases;
        if (!floor_matches(shading)) ++check.mismatches;
    }
    return check;
}

ShadingAllocations shading_allocations() { return loaded->allocations; }

tmhost::ModuleSession& module_session() { return loaded->session; }

std::string finish_module() {
    if (!loaded) return "";
    // The constant host's slots go before the module's end, which may call its host.
    loaded->host().restore();
    loaded->host().list_library().restore_table();
    std::string report;
    for (const std::string& line : loaded->session.finish()) report += line + "\n";
    loaded.reset();
    return report;
}

}  // namespace tonemix_bench
