// One node shaded from many threads at once, all at one point, as a host's renderer does: the
// colours of every call, as a multiset, must be those of one thread making the same number of
// calls on a node prepared alike. A draw lost or taken twice shows as a colour too many or too
// few; a torn stream state as a colour no single thread gives.
//
// The light answers the point it is asked about as its colour, so every colour names the sample
// points its call drew. A call with many samples takes its draws in several runs, which other
// calls may come between: its colour is then no single thread's, but the points asked of the
// host, as a multiset, must still be one thread's, each draw used once.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "host/core/emulation.h"
#include "host/core/shader_names.h"
#include "host/loading/signal_stack.h"
#include "host/validate/group_support.h"
#include "host/validate/isolated_run.h"

namespace tmhost {

namespace {

using Bits = std::array<uint32_t, 3>;

// Threads on one node at once go 2, 4, 8 ... up to this many.
constexpr int kMostThreads = 64;

// The most threads one node is shaded from at once here. An emulated 32-bit process of the
// sanitizer build loses track of thread stacks beyond a few threads (the sanitizer's shadow memory
// and the stacks crowd the emulated address space): there the largest counts belong to native runs.
int most_threads() {
#if defined(__SANITIZE_ADDRESS__)
    if (running_under_emulation()) return 8;
#endif
    return kMostThreads;
}

Bits bits_of(const float colour[3]) {
    Bits bits;
    std::memcpy(bits.data(), colour, sizeof bits);
    return bits;
}

// Where the light notes the points it is asked about: each shading thread's own list.
thread_local std::vector<Bits>* points_asked = nullptr;

// The multisets differ: how, in one line.
std::string difference_text(std::vector<Bits> expected, std::vector<Bits> got, const char* things) {
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    if (got == expected) return std::string();
    std::vector<Bits> missing;
    std::vector<Bits> extra;
    std::set_difference(expected.begin(), expected.end(), got.begin(), got.end(),
                        std::back_inserter(missing));
    std::set_difference(got.begin(), got.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra));
    return std::to_string(missing.size()) + " " + things + " of one thread missing, " +
           std::to_string(extra.size()) + " " + things + " one thread never gives";
}

struct Setting {
    const char* what;
    int32_t samples;
    int32_t gaussian;
    int32_t mode;           // 0 scatter, 1 along the normal
    bool one_run_per_call;  // few samples: a call's draws are one run, its colour one thread's
};

class ThreadCases {
public:
    ThreadCases(const ValidationSettings& settings, Findings& findings)
        : settings_(settings),
          findings_(findings),
          session_(start_module(settings)),
          host_(session_->host()),
          lights_(make_lights(1, [](int32_t, const float point[3], bool, float colour[3]) {
              for (int k = 0; k < 3; ++k) colour[k] = point[k];
              if (points_asked != nullptr) points_asked->push_back(bits_of(point));
              return true;
          })) {
        host_.set_render_backend(lights_.get());
        const Description& description = session_->description();
        samples_ = parameter_id(description, shader_names::kSamples);
        gaussian_ = parameter_id(description, shader_names::kGaussian);
        mode_ = parameter_id(description, shader_names::kMode);
        jitter_ = parameter_id(description, shader_names::kJitter);
    }
    ~ThreadCases() { host_.set_render_backend(nullptr); }

    void run() {
        const Setting settings[] = {
            {"8 samples, gaussian", 8, 1, 0, true},
            {"8 samples, uniform", 8, 0, 0, true},
            {"100 samples, gaussian", 100, 1, 0, false},
            {"100 samples, uniform", 100, 0, 0, false},
            {"8 samples along the normal, jittered", 8, 1, 1, true},
        };
        const long calls = scaled(settings_, 1500);
        int most = most_threads();
        if (most < kMostThreads) {
            findings_.limit("at most " + std::to_string(most) + " threads under emulation");
        }
        for (const Setting& setting : settings) {
            for (int threads = 2; threads <= most; threads *= 2) {
                // Fewer calls per thread with more threads: the total stays within reason.
                const long per_thread = std::max<long>(calls * 2 / threads, 20);
                if (!compare(setting, threads, per_thread)) {
                    // The host's limit, not the module's: the counts that did start are the test.
                    findings_.limit("at most " + std::to_string(threads / 2) +
                                    " threads: the system started no thread " +
                                    std::to_string(started_ + 1) + " of " +
                                    std::to_string(threads) + " (" + refusal_ + ")");
                    most = threads / 2;
                    break;
                }
                findings_.count("thread counts");
                if (findings_.failed()) break;
            }
        }
        check_host_rules(host_, findings_, "threads");
        finish_module(*session_, findings_, "at the end");
    }

private:
    void prepare(ValidatedNode& node, const Setting& setting) {
        node.init_defaults();
        node.container().set_long(samples_, setting.samples);
        node.container().set_bool(gaussian_, setting.gaussian);
        node.container().set_long(mode_, setting.mode);
        node.container().set_bool(jitter_, 1);
        node.prepare();
    }

    // False when the system would not start all the threads (started_ and refusal_ say how far
    // it got and why); those that did start were let go without shading.
    bool compare(const Setting& setting, int threads, long per_thread) {
        const long total = per_thread * threads;
        note_progress(std::string(setting.what) + ", " + std::to_string(threads) + " threads");
        std::vector<Bits> expected;
        std::vector<Bits> expected_points;
        {
            ValidatedNode alone(host_, session_->shader());
            prepare(alone, setting);
            points_asked = &expected_points;
            ShadingPoint point;
            place_point(point, 100.0f, 200.0f, 300.0f);
            for (long c = 0; c < total; ++c) {
                float colour[3];
                alone.shade(&point.input, colour);
                expected.push_back(bits_of(colour));
            }
            points_asked = nullptr;
        }
        std::vector<std::vector<Bits>> seen(static_cast<std::size_t>(threads));
        std::vector<std::vector<Bits>> asked(static_cast<std::size_t>(threads));
        {
            ValidatedNode shared(host_, session_->shader());
            prepare(shared, setting);
            std::atomic<int> waiting{threads};
            std::atomic<bool> let_go{false};
            std::vector<std::thread> running;
            running.reserve(static_cast<std::size_t>(threads));
            for (int t = 0; t < threads && !let_go.load(); ++t) {
                const auto shade_at_once = [&, t] {
                    // An overflow of the module's on this thread is told as one, not as a crash.
                    const SignalStack signal_stack;
                    ShadingPoint point;  // each thread's own records, as a renderer lends them
                    place_point(point, 100.0f, 200.0f, 300.0f);
                    std::vector<Bits>& mine = seen[static_cast<std::size_t>(t)];
                    mine.reserve(static_cast<std::size_t>(per_thread));
                    points_asked = &asked[static_cast<std::size_t>(t)];
                    waiting.fetch_sub(1);
                    while (waiting.load() > 0 && !let_go.load()) std::this_thread::yield();
                    if (let_go.load()) return;
                    for (long c = 0; c < per_thread; ++c) {
                        float colour[3];
                        shared.shade(&point.input, colour);
                        mine.push_back(bits_of(colour));
                    }
                    points_asked = nullptr;
                };
                try {
                    running.emplace_back(shade_at_once);
                } catch (const std::system_error& error) {
                    // Out of threads or address space for their stacks: the threads that wait
                    // for the rest would wait for ever.
                    started_ = t;
                    refusal_ = error.code().message();
                    let_go.store(true);
                }
            }
            for (std::thread& thread : running) thread.join();
            if (let_go.load()) return false;
        }
        std::vector<Bits> got;
        for (const auto& colours : seen) got.insert(got.end(), colours.begin(), colours.end());
        std::vector<Bits> got_points;
        for (const auto& points : asked)
            got_points.insert(got_points.end(), points.begin(), points.end());
        findings_.count("calls", total);
        const std::string what = std::string(setting.what) + ", " + std::to_string(threads) +
                                 " threads x " + std::to_string(per_thread) + " calls: ";
        const std::string points = difference_text(expected_points, got_points, "sample points");
        if (!points.empty()) {
            findings_.fail(what + points + " (a draw lost, repeated or torn)");
            return true;
        }
        if (!setting.one_run_per_call) return true;
        const std::string colours = difference_text(expected, got, "colours");
        if (!colours.empty()) {
            findings_.fail(what + colours + " (calls' draws interleaved or torn)");
        }
        return true;
    }

    const ValidationSettings& settings_;
    Findings& findings_;
    std::unique_ptr<ModuleSession> session_;
    StandInHost& host_;
    std::unique_ptr<PointLightRenderer> lights_;
    int32_t samples_ = 0;
    int32_t gaussian_ = 0;
    int32_t mode_ = 0;
    int32_t jitter_ = 0;
    int started_ = 0;      // threads started when the system refused one
    std::string refusal_;  // the system's reason
};

}  // namespace

GroupVerdict validate_threads(const ValidationSettings& settings) {
    Findings findings;
    ThreadCases cases(settings, findings);
    cases.run();
    return findings.verdict();
}

}  // namespace tmhost
