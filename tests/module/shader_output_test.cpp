// The colour of one shaded point: what the shader asks of the renderer, in which order, and how
// the answers become the mean.
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

#include "shader_output_fixture.h"

namespace {

using tonemix_test::FakeList;
using tonemix_test::FakeListLibrary;
using tonemix_test::light;
using tonemix_test::ScriptedRenderer;
using tonemix_test::ShaderOutputTest;
using tonemix_test::TestShadingPoint;
using Colour = std::array<float, 3>;

TEST_F(ShaderOutputTest, WithoutRenderContextTheColourIsWhite) {
    prepare();
    int32_t seed = node->random.current().seed;
    host.journal().clear();
    point.input.context = nullptr;
    EXPECT_EQ(shade(point), (Colour{1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(shade(nullptr), (Colour{1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(host.journal().size(), 0u);
    EXPECT_EQ(node->random.current().seed, seed);
}

TEST_F(ShaderOutputTest, SampleCountsAverageThePointSums) {
    ScriptedRenderer renderer({light(0.5f, 0.25f, 1.0f), light(0.25f, 0.25f, 0.0f)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 0);
    prepare();
    EXPECT_EQ(shade(point), (Colour{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(renderer.count_requests, 1) << "the start point is still gathered";
    EXPECT_EQ(renderer.calls.size(), 2u);

    for (int32_t samples : {1, 2, 8}) {
        values().set_long(TONEMIX_SAMPLES, samples);
        prepare();
        renderer.calls.clear();
        renderer.count_requests = 0;
        int32_t seed = node->random.current().seed;
        // Every point sees both lights whole, so the mean is their sum.
        EXPECT_EQ(shade(point), (Colour{0.75f, 0.5f, 1.0f})) << samples;
        EXPECT_EQ(renderer.count_requests, samples);
        EXPECT_EQ(renderer.calls.size(), 2u * samples);
        if (samples == 1) {
            EXPECT_EQ(node->random.current().seed, seed) << "no draw for the start point";
        }
    }
}

TEST_F(ShaderOutputTest, NegativeSampleCountGivesBlack) {
    ScriptedRenderer renderer({light(0.5f, 0.25f, 1.0f)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, -3);
    prepare();
    EXPECT_EQ(shade(point), (Colour{0.0f, 0.0f, 0.0f}));
}

TEST_F(ShaderOutputTest, EachPointSumIsClampedBeforeTheMean) {
    ScriptedRenderer renderer({light(-2.0f, 1.0f, 0.0f), light(1.0f, 1.0f, -0.5f)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 2);
    prepare();
    // Each point: (-1, 2, -0.5) clamped to (0, 2, 0); two points, divided by two.
    EXPECT_EQ(shade(point), (Colour{0.0f, 2.0f, 0.0f}));
}

TEST_F(ShaderOutputTest, LightsAreAskedLastFirstWithTheFixedArguments) {
    ScriptedRenderer renderer({light(1, 0, 0), light(0, 1, 0), light(0, 0, 1)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 1);
    prepare();
    shade(point);
    EXPECT_EQ(renderer.light_requests, (std::vector<int32_t>{2, 1, 0}));
    ASSERT_EQ(renderer.calls.size(), 3u);
    for (const auto& call : renderer.calls) {
        EXPECT_EQ(call.zero, 0);
        EXPECT_EQ(call.shadow_flag, 1);
        EXPECT_TRUE(call.work_twice);
        EXPECT_EQ(call.point, (Colour{1.0f, 3.0f, 3.0f})) << "lifted by the offset of 1";
    }
    EXPECT_EQ(renderer.calls[0].work_on_entry, (Colour{0.0f, 0.0f, 0.0f}));

    values().set_bool(TONEMIX_SHADOWS, 0);
    prepare();
    renderer.calls.clear();
    shade(point);
    for (const auto& call : renderer.calls) EXPECT_EQ(call.shadow_flag, 0);
}

TEST_F(ShaderOutputTest, UnlitAndMissingLightsAddNothing) {
    ScriptedRenderer::Light dark = light(5, 5, 5);
    dark.answer = 0;
    ScriptedRenderer renderer({light(0.5f, 0.5f, 0.5f), dark, light(0.25f, 0, 0)});
    renderer.null_lights = {2};
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 1);
    prepare();
    EXPECT_EQ(shade(point), (Colour{0.5f, 0.5f, 0.5f}));
}

TEST_F(ShaderOutputTest, ObjectFlagsBarOnlyWithBitOne) {
    ScriptedRenderer::Light barred = light(1, 0, 0);
    barred.has_table = true;
    barred.flags = {0, 1, 2, 3};
    ScriptedRenderer renderer({barred});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 1);
    prepare();
    const struct {
        int32_t index;
        uint32_t reference;
        float red;
    } cases[] = {{0, 1, 1.0f}, {1, 1, 0.0f},  {2, 1, 1.0f}, {3, 1, 0.0f},
                 {4, 1, 1.0f}, {-1, 1, 1.0f}, {1, 0, 1.0f}};
    for (const auto& c : cases) {
        point.object.object_index = c.index;
        point.object.object_reference = c.reference;
        EXPECT_EQ(shade(point)[0], c.red) << c.index << " ref " << c.reference;
    }
    point.object.object_index = 1;
    point.context.shaded_object = nullptr;
    EXPECT_EQ(shade(point)[0], 1.0f) << "no shaded object record";
}

TEST_F(ShaderOutputTest, LightWithoutFlagTableIsAccepted) {
    ScriptedRenderer::Light no_table = light(1, 0, 0);
    no_table.flags = {1, 1};
    no_table.has_table = false;
    ScriptedRenderer renderer({no_table});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 1);
    prepare();
    point.object.object_index = 1;
    EXPECT_EQ(shade(point)[0], 1.0f);
}

// The count is the host's answer: none of these may be counted down from, nor overflow doing so.
TEST_F(ShaderOutputTest, LightCountsOfZeroOrLessAreNoLight) {
    ScriptedRenderer renderer({light(1, 1, 1)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 4);
    for (int32_t count : {0, -1, INT32_MIN, INT32_MIN + 1}) {
        prepare();
        renderer.count_override = count;
        renderer.light_requests.clear();
        renderer.count_requests = 0;
        EXPECT_EQ(shade(point), (Colour{0.0f, 0.0f, 0.0f})) << count;
        EXPECT_TRUE(renderer.light_requests.empty()) << count;
        EXPECT_TRUE(renderer.calls.empty()) << count;
        EXPECT_EQ(renderer.count_requests, 4) << "asked afresh at every point";
    }
}

TEST_F(ShaderOutputTest, UnknownModeScatters) {
    ScriptedRenderer renderer({light(1, 1, 1)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 2);
    values().set_long(TONEMIX_MODE, 5);
    prepare();
    shade(point);
    ASSERT_EQ(renderer.calls.size(), 2u);
    EXPECT_NE(renderer.calls[1].point, (Colour{0.0f, 0.0f, 0.0f}));
    EXPECT_NE(renderer.calls[1].point, renderer.calls[0].point);
}

TEST_F(ShaderOutputTest, ListModesChooseTheLights) {
    ScriptedRenderer renderer({light(1, 0, 0), light(0, 1, 0), light(0, 0, 1)});
    use(renderer);
    FakeList list{{renderer.scene_object(0), renderer.scene_object(1)}};
    values().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    values().set_long(TONEMIX_SAMPLES, 1);

    values().set_long(TONEMIX_LIST_MODE, 1);
    prepare();
    EXPECT_EQ(shade(point), (Colour{0.0f, 0.0f, 1.0f})) << "listed lights left out";
    ASSERT_EQ(renderer.calls.size(), 1u);
    EXPECT_EQ(renderer.calls[0].light, 2);

    values().set_long(TONEMIX_LIST_MODE, 0);
    prepare();
    renderer.calls.clear();
    EXPECT_EQ(shade(point), (Colour{1.0f, 1.0f, 0.0f})) << "only listed lights";
    EXPECT_EQ(renderer.calls.size(), 2u);

    lists.count_override = 0;
    prepare();
    EXPECT_EQ(shade(point), (Colour{1.0f, 1.0f, 1.0f})) << "an empty list keeps every light";
}

TEST_F(ShaderOutputTest, ListOverridesTheLightsOwnFlags) {
    ScriptedRenderer::Light barred = light(1, 0, 0);
    barred.has_table = true;
    barred.flags = {1};
    ScriptedRenderer renderer({barred});
    use(renderer);
    FakeList list{{renderer.scene_object(0)}};
    values().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    values().set_long(TONEMIX_LIST_MODE, 0);
    values().set_long(TONEMIX_SAMPLES, 1);
    prepare();
    EXPECT_EQ(shade(point)[0], 1.0f);

    lists.contains_answer_override = 2;  // neither listed nor unlisted: always counts
    values().set_long(TONEMIX_LIST_MODE, 1);
    prepare();
    EXPECT_EQ(shade(point)[0], 1.0f);
}

TEST_F(ShaderOutputTest, EveryRenderRepeatsBitForBit) {
    ScriptedRenderer renderer({light(0.3f, 0.6f, 0.9f), light(-0.1f, 0.2f, 0.05f)});
    use(renderer);
    auto render = [&] {
        prepare();
        std::vector<Colour> colours;
        for (int i = 0; i < 20; ++i) {
            TestShadingPoint p({0.1f * i, 1.0f, -2.0f}, {0.0f, 0.0f, 1.0f});
            colours.push_back(shade(p));
        }
        std::vector<Colour> points;
        for (const auto& call : renderer.calls) points.push_back(call.point);
        renderer.calls.clear();
        return std::make_pair(colours, points);
    };
    auto first = render();
    auto second = render();
    EXPECT_EQ(
        std::memcmp(first.first.data(), second.first.data(), first.first.size() * sizeof(Colour)),
        0);
    EXPECT_EQ(first.second, second.second);
}

}  // namespace
