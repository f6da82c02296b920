// One node shaded from many threads at once, as hosts' renderers do: every call's draws are a run
// of the node's one stream that no other call shares, nothing lost, nothing repeated.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <thread>
#include <vector>

#include "bound_host_test.h"
#include "host/core/render_backend.h"
#include "point_colour_renderer.h"
#include "scripted_renderer.h"
#include "shader_registration.h"
#include "tonemix_parameters.h"
#include "tonemix_shader.h"

namespace {

using Colour = std::array<float, 3>;

using tonemix_test::PointColourRenderer;

class SharedNodeTest : public tonemix_test::BoundHostTest {
protected:
    void SetUp() override {
        BoundHostTest::SetUp();
        // The journal is one list for every thread; a render does not keep one.
        host.journal().set_enabled(false);
        host.set_render_backend(&renderer);
        fill_shader_record(&record, create_shader, 0, 0, 0);
    }
    void TearDown() override {
        for (TonemixShader* node : nodes) free_node(node);
        host.set_render_backend(nullptr);
        BoundHostTest::TearDown();
    }

    // A node prepared from the defaults and the given values.
    TonemixShader* prepared_node(int32_t samples, int32_t gaussian) {
        tmhost::Node& host_node = host.containers().make_node();
        auto* node = static_cast<TonemixShader*>(create_shader());
        nodes.push_back(node);
        record.init_defaults(node, host_node.handle());
        host_node.container.set_long(TONEMIX_SAMPLES, samples);
        host_node.container.set_bool(TONEMIX_GAUSSIAN, gaussian);
        RenderSetup setup{};
        record.prepare_render(node, host_node.handle(), &setup);
        return node;
    }

    Colour shade(TonemixShader* node) {
        tonemix_test::TestShadingPoint point{{100.0f, 200.0f, 300.0f}, {0.0f, 0.0f, 1.0f}};
        float colour[3];
        record.compute_output(node, colour, 0, &point.input);
        return {colour[0], colour[1], colour[2]};
    }

    // `threads` threads, released together, each making `calls` calls on the node.
    std::vector<Colour> shade_at_once(TonemixShader* node, int threads, int calls) {
        std::vector<std::vector<Colour>> seen(static_cast<std::size_t>(threads));
        std::atomic<int> waiting{threads};
        std::vector<std::thread> running;
        for (int t = 0; t < threads; ++t) {
            running.emplace_back([&, t] {
                waiting.fetch_sub(1);
                while (waiting.load() > 0) std::this_thread::yield();
                for (int c = 0; c < calls; ++c)
                    seen[static_cast<std::size_t>(t)].push_back(shade(node));
            });
        }
        for (std::thread& thread : running) thread.join();
        std::vector<Colour> all;
        for (const auto& colours : seen) all.insert(all.end(), colours.begin(), colours.end());
        return all;
    }

    std::vector<Colour> shade_in_turn(TonemixShader* node, int calls) {
        std::vector<Colour> colours;
        for (int c = 0; c < calls; ++c) colours.push_back(shade(node));
        return colours;
    }

    PointColourRenderer renderer;
    ShaderRegistration record{};
    std::vector<TonemixShader*> nodes;
};

uint32_t bits_of(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A lost draw makes two calls give one colour, a torn state a colour no call gives in turn: either
// way the multiset differs from that of one thread making every call.
TEST_F(SharedNodeTest, OverlappingCallsGiveTheColoursOfOneThread) {
    const int calls = 1500;
    // Gaussian: each call ends with its pairs used up. Uniform: an odd number of scale draws per
    // call, so a cached spare passes from call to call.
    for (int32_t gaussian : {1, 0}) {
        for (int threads : {2, 4, 8}) {
            std::vector<Colour> expected =
                shade_in_turn(prepared_node(8, gaussian), threads * calls);
            std::vector<Colour> got = shade_at_once(prepared_node(8, gaussian), threads, calls);
            std::sort(expected.begin(), expected.end());
            std::sort(got.begin(), got.end());
            ASSERT_EQ(got.size(), expected.size());
            EXPECT_TRUE(got == expected)
                << "gaussian " << gaussian << ", " << threads << " threads";
            EXPECT_EQ(std::adjacent_find(expected.begin(), expected.end()), expected.end())
                << "the calls of one thread give distinct colours";
        }
    }
}

TEST_F(SharedNodeTest, WithoutDrawsEveryCallGivesTheStartPointsColour) {
    for (const Colour& colour : shade_at_once(prepared_node(1, 1), 4, 500)) {
        EXPECT_EQ(colour, (Colour{100.0f, 200.0f, 301.0f}));
    }
}

// 99 sample points take their draws in two runs, which other calls may separate; still every
// draw is taken once, so the stream ends where one thread's ends.
TEST_F(SharedNodeTest, ManySamplesLeaveTheStreamWhereOneThreadLeavesIt) {
    for (int32_t gaussian : {1, 0}) {
        TonemixShader* alone = prepared_node(100, gaussian);
        shade_in_turn(alone, 4 * 300);
        TonemixShader* shared = prepared_node(100, gaussian);
        shade_at_once(shared, 4, 300);
        RandomStream expected = alone->random.current();
        RandomStream got = shared->random.current();
        EXPECT_EQ(got.seed, expected.seed) << gaussian;
        ASSERT_EQ(got.has_spare, expected.has_spare) << gaussian;
        if (got.has_spare != 0) {
            EXPECT_EQ(bits_of(got.spare), bits_of(expected.spare));
        }
    }
}

// The word's layout, pinned: bit 63 says a spare is cached, bits 32-62 then name the state that
// began its pair.
TEST(SharedRandomStream, StatesPackIntoOneWordAndBack) {
    StreamState state;
    state.seed = 0xFFFFFFFFu;
    EXPECT_EQ(state.pack(), 0x00000000FFFFFFFFull);
    state.seed = 0x80000000u;
    EXPECT_EQ(state.pack(), 0x0000000080000000ull);
    // The pair of the worked example from seed 23082003: states 818067460 and 659201281.
    state.seed = 659201281;
    state.has_spare = 1;
    state.spare_pair = 818067460;
    EXPECT_EQ(state.pack(), 0xB0C2B804274A9D01ull);

    StreamState back = StreamState::unpack(0xB0C2B804274A9D01ull);
    EXPECT_EQ(back.seed, 659201281u);
    EXPECT_EQ(back.has_spare, 1);
    EXPECT_EQ(back.spare_pair, 818067460u);
    EXPECT_NEAR(back.spare(), -0.93349433f, 1e-7f);
    back = StreamState::unpack(0x00000000FFFFFFFFull);
    EXPECT_EQ(back.seed, 0xFFFFFFFFu);
    EXPECT_EQ(back.has_spare, 0);
}

uint64_t word_of(const SharedRandomStream& stream) {
    uint64_t word;
    std::memcpy(&word, stream.word_address(), sizeof word);
    return word;
}

TEST(SharedRandomStream, APairLeavesItsFirstStateInTheWord) {
    SharedRandomStream shared;
    EXPECT_EQ(word_of(shared), 100u);
    shared.reseed(23082003);
    double value = 0.0;
    shared.take_run<3>([&](auto& stream) { value = stream.gauss_spread(); });
    EXPECT_NEAR(value, -0.27243570, 1e-8);
    EXPECT_EQ(word_of(shared), 0xB0C2B804274A9D01ull);
    RandomStream seen = shared.current();
    EXPECT_EQ(seen.seed, 659201281);
    EXPECT_EQ(seen.has_spare, 1);
    // The spare made again from its pair is the one the pair cached, bit for bit.
    RandomStream plain;
    plain.reseed(23082003);
    plain.gauss_spread();
    EXPECT_EQ(bits_of(seen.spare), bits_of(plain.spare));
    shared.take_run<3>([&](auto& stream) { value = stream.gauss_centered(); });
    EXPECT_EQ(value, plain.gauss_centered()) << "a spare cached by an earlier run";
    EXPECT_EQ(word_of(shared), 659201281u);
}

TEST(SharedRandomStream, DrawsFromTheWordAreThoseOfAPlainStream) {
    SharedRandomStream shared;
    RandomStream plain;
    EXPECT_EQ(shared.current().seed, 100);
    for (int32_t seed : {23082003, -1, 0x7FFFFFFF, INT32_MIN}) {
        shared.reseed(seed);
        plain.reseed(seed);
        for (int i = 0; i < 1000; ++i) {
            double got = 0.0;
            // Runs of one, two and three draws, so that spares are left cached between runs
            // and taken by either Gaussian draw.
            double want = plain.gauss_spread();
            if (i % 3 != 0) want += plain.uniform_signed();
            if (i % 3 == 2) want += plain.gauss_centered();
            shared.take_run<9>([&](auto& stream) {
                got = stream.gauss_spread();
                if (i % 3 != 0) got += stream.uniform_signed();
                if (i % 3 == 2) got += stream.gauss_centered();
            });
            ASSERT_EQ(got, want) << seed << ", run " << i;
            RandomStream seen = shared.current();
            ASSERT_EQ(seen.seed, plain.seed) << seed << ", run " << i;
            ASSERT_EQ(seen.has_spare, plain.has_spare) << seed << ", run " << i;
        }
    }
    shared.reseed(7);
    EXPECT_EQ(shared.current().has_spare, 0) << "a reseed drops the spare";
}

// The line of the word every call writes belongs to the node alone, wherever the host's
// allocator puts the node, so no other allocation's fields slow the calls down.
TEST(SharedRandomStream, TheWordsLineLiesInsideTheNode) {
    static_assert(sizeof(TonemixShader) <= 256, "a node stays small");
    alignas(64) static unsigned char memory[64 + sizeof(TonemixShader) + 64];
    for (std::size_t shift = 0; shift < 64; shift += 4) {
        auto* node = new (memory + shift) TonemixShader();
        auto word = reinterpret_cast<uintptr_t>(node->random.word_address());
        auto begin = reinterpret_cast<uintptr_t>(node);
        uintptr_t line = word & ~uintptr_t{63};
        EXPECT_GE(line, begin) << shift;
        EXPECT_LE(line + 64, begin + sizeof(TonemixShader)) << shift;
        EXPECT_EQ(word % 8, 0u) << "the word is aligned for cmpxchg8b";
        node->~TonemixShader();
    }
}

}  // namespace
