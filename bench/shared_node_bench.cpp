// compute_output from two threads at once, as a host's renderer calls it: on one node that both
// share, and on two nodes allocated back to back, each against two nodes far apart in memory,
// where the threads share nothing the module writes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_cases.h"
#include "bench/constant_host.h"
#include "host/core/point_light_renderer.h"
#include "host/core/stand_in_host.h"
#include "host/loading/module_session.h"
#include "host/render/render_error.h"
#include "host/render/shader_instance.h"
#include "tonemix_parameters.h"

namespace tonemix_bench {

namespace {

enum class Nodes { shared, back_to_back, far_apart };

struct ThreadCase {
    int32_t samples;
    int32_t lights;
};

const ThreadCase kThreadCases[] = {{8, 4}, {64, 16}};
constexpr int kThreads = 2;
// Between the two nodes of a far-apart pair: more than a page.
constexpr std::size_t kGap = 8192;

const float kPoint[3] = {1.0f, 2.0f, 3.0f};
const float kNormal[3] = {0.0f, 1.0f, 0.0f};

// Hands out one block after the other, 4-byte aligned, as the tightest of host allocators may.
// The stand-in host's own allocator does not place two nodes side by side (it books every block
// in memory of its own, allocated in between; from a bench thread they lay 264 KB apart).
class PlacingAllocator {
public:
    static void install(tmhost::StandInHost& host, std::size_t gap) {
        next_ = arena_ + 4;
        gap_ = gap;
        HostGeneral& general = host.tables().general;
        saved_alloc_ = general.alloc;
        saved_free_ = general.free;
        general.alloc = alloc;
        general.free = free;
    }
    static void remove(tmhost::StandInHost& host) {
        host.tables().general.alloc = saved_alloc_;
        host.tables().general.free = saved_free_;
    }

private:
    static void* TM_CDECL alloc(int32_t size, int32_t, const char*) {
        std::size_t bytes = (static_cast<std::size_t>(size) + 3) & ~std::size_t{3};
        if (next_ + bytes + gap_ > arena_ + sizeof arena_) return nullptr;
        void* block = next_;
        next_ += bytes + gap_;
        return block;
    }
    static void TM_CDECL free(void*) {}

    alignas(64) static unsigned char arena_[2 * (kGap + 4096)];
    static unsigned char* next_;
    static std::size_t gap_;
    static decltype(HostGeneral::alloc) saved_alloc_;
    static decltype(HostGeneral::free) saved_free_;
};

alignas(64) unsigned char PlacingAllocator::arena_[2 * (kGap + 4096)];
unsigned char* PlacingAllocator::next_ = nullptr;
std::size_t PlacingAllocator::gap_ = 0;
decltype(HostGeneral::alloc) PlacingAllocator::saved_alloc_ = nullptr;
decltype(HostGeneral::free) PlacingAllocator::saved_free_ = nullptr;

// The nodes of one run, made and prepared by the first thread before the timed loop starts.
// They are the module's nodes, made through its record; only the memory they get is placed.
class NodePair {
public:
    NodePair(tmhost::ModuleSession& session, const ThreadCase& shading, Nodes nodes)
        : session_(session) {
        PlacingAllocator::install(session.host(), nodes == Nodes::far_apart ? kGap : 0);
        first_ = make(shading);
        second_ = nodes == Nodes::shared ? nullptr : make(shading);
    }
    ~NodePair() {
        second_.reset();
        first_.reset();
        PlacingAllocator::remove(session_.host());
    }

    void* node(int thread) const {
        return thread == 0 || !second_ ? first_->node() : second_->node();
    }
    long distance() const {
        if (!second_) return 0;
        return std::labs(static_cast<long>(reinterpret_cast<intptr_t>(second_->node()) -
                                           reinterpret_cast<intptr_t>(first_->node())));
    }

private:
    std::unique_ptr<tmhost::ShaderInstance> make(const ThreadCase& shading) {
        auto instance = std::make_unique<tmhost::ShaderInstance>(session_.shader(),
                                                                 session_.host().containers());
        instance->init_defaults();
        instance->container().set_long(TONEMIX_SAMPLES, shading.samples);
        instance->prepare();
        return instance;
    }

    tmhost::ModuleSession& session_;
    std::unique_ptr<tmhost::ShaderInstance> first_;
    std::unique_ptr<tmhost::ShaderInstance> second_;
};

std::unique_ptr<NodePair> pair;
std::string made_error;
long back_to_back_distance = -1;

void shade_two_threads(benchmark::State& state, ThreadCase shading, Nodes nodes) {
    // The timed loop's start waits for every thread, so the others find the pair made.
    if (state.thread_index() == 0) {
        set_light_count(shading.lights);
        install_constant_slots(module_session().host(), false);
        made_error.clear();
        try {
            pair = std::make_unique<NodePair>(module_session(), shading, nodes);
            if (nodes == Nodes::back_to_back) back_to_back_distance = pair->distance();
        } catch (const tmhost::ModuleError& error) {
            made_error = error.what();
        }
    }
    tmhost::ShadingPoint point;
    point.set(kPoint, kNormal, 0, 1);
    const ComputeOutputEntry entry = module_session().shader().record().compute_output;
    float colour[3] = {0.0f, 0.0f, 0.0f};
    void* node = nullptr;
    for (auto _ : state) {
        if (node == nullptr) {
            if (!pair) {
                state.SkipWithError(made_error.c_str());
                break;
            }
            node = pair->node(state.thread_index());
        }
        entry(node, colour, 0, &point.input);
        benchmark::DoNotOptimize(colour[0]);
    }
    state.SetItemsProcessed(state.iterations());
    // The loop's end waits for every thread too: nobody shades any more.
    if (state.thread_index() == 0) pair.reset();
}

void register_pair(const ThreadCase& shading, const std::string& what, Nodes nodes) {
    const std::string name = "compute_output/s" + std::to_string(shading.samples) + "_l" +
                             std::to_string(shading.lights) + "/scatter_gauss, " +
                             std::to_string(kThreads) + " threads: " + what;
    benchmark::RegisterBenchmark((name + "/module").c_str(), shade_two_threads, shading, nodes)
        ->Threads(kThreads)
        ->UseRealTime();
    benchmark::RegisterBenchmark((name + "/floor").c_str(), shade_two_threads, shading,
                                 Nodes::far_apart)
        ->Threads(kThreads)
        ->UseRealTime();
}

}  // namespace

void register_thread_cases() {
    for (const ThreadCase& shading : kThreadCases) {
        register_pair(shading, "one node shared (floor: a node each, far apart)", Nodes::shared);
        register_pair(shading, "a node each, allocated back to back (floor: far apart)",
                      Nodes::back_to_back);
    }
}

long thread_case_node_distance() { return back_to_back_distance; }

}  // namespace tonemix_bench
