// Where the shader puts its sample points: the even and the jittered line along the normal, and
// the scatter drawn from the node's stream, within one run of draws and across runs.
#include <array>
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

TEST_F(ShaderOutputTest, EvenLineWithFourSamples) {
    ScriptedRenderer renderer({light(1, 1, 1)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 4);
    values().set_long(TONEMIX_MODE, MODE_ALONG_NORMAL);
    values().set_bool(TONEMIX_JITTER, 0);
    prepare();
    const auto seed_before = node->random.current().seed;
    shade(point);
    EXPECT_EQ(node->random.current().seed, seed_before) << "the even line draws nothing";
    ASSERT_EQ(renderer.calls.size(), 4u);
    EXPECT_EQ(renderer.calls[0].point, (Colour{1.0f, 3.0f, 3.0f}));
    EXPECT_EQ(renderer.calls[1].point, (Colour{1.0f, -2.0f, 3.0f}));
    EXPECT_EQ(renderer.calls[2].point, (Colour{1.0f, 3.0f, 3.0f}));
    EXPECT_EQ(renderer.calls[3].point, (Colour{1.0f, 8.0f, 3.0f}));
}

TEST_F(ShaderOutputTest, JitteredUniformLineStaysWithinTheDistance) {
    ScriptedRenderer renderer({light(1, 1, 1)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 64);
    values().set_long(TONEMIX_MODE, MODE_ALONG_NORMAL);
    values().set_bool(TONEMIX_GAUSSIAN, 0);
    prepare();
    shade(point);
    for (const auto& call : renderer.calls) {
        EXPECT_EQ(call.point[0], 1.0f);
        EXPECT_EQ(call.point[2], 3.0f);
        EXPECT_GE(call.point[1], 3.0f - 20.0f);
        EXPECT_LE(call.point[1], 3.0f + 20.0f);
    }
}

// The expected points were worked out apart from the module, from the stream's definition
// (state, uniform and polar-method Gaussian with its cached partner) and the scatter's roundings,
// from the default seed 23082003: start (1, 3, 3), distance 20, seven samples per point.
struct ScatterCase {
    int32_t gaussian;
    Colour samples[14];  // samples 1 .. 7 of the first point, then of the second
    int32_t seed_after;
};

const ScatterCase kScatterCases[] = {
    {1,
     {
         {-0x1.118148p+1f, 0x1.10bb24p+0f, 0x1.381bfp+2f},  // -2.1367579, 1.0653555, 4.8767052
         {0x1.da96eep-1f, 0x1.7c9c74p+1f, 0x1.00c282p+2f},
         {0x1.88c50ep+0f, 0x1.b6be66p+0f, 0x1.c6c922p+1f},
         {0x1.237272p+0f, 0x1.07d3a8p-1f, 0x1.e9507ap-1f},
         {0x1.069d3ep-1f, 0x1.10ee9ap+0f, 0x1.cf634ep+0f},
         {0x1.963892p-1f, 0x1.503fdep+2f, 0x1.ad7cc6p+1f},
         {-0x1.610868p+0f, 0x1.356934p+2f, 0x1.fcb64cp+1f},
         {-0x1.0628cp-1f, 0x1.82d3d8p+2f, 0x1.5624cap+1f},  // -0.51202965, 6.0441799, 2.6729977
         {0x1.31de7ep+0f, 0x1.441368p-4f, 0x1.05e198p+2f},
         {-0x1.cde78p+0f, 0x1.ceb262p+1f, 0x1.cbeabp+1f},
         {0x1.66b3b4p-2f, 0x1.473d04p+1f, 0x1.4d8068p+1f},
         {0x1.cf0186p-2f, 0x1.4e40d8p+2f, 0x1.b25bc2p+1f},
         {0x1.34c2aep+1f, 0x1.0a9122p+1f, -0x1.d3c0e8p+0f},
         {0x1.224e14p+0f, 0x1.7f2a8ep+2f, 0x1.1009dap+2f},
     },
     1649255921},
    {0,
     {
         {-0x1.0a0b1ap+0f, -0x1.39af12p-2f, 0x1.be9b8cp+2f},  // -1.0392319, -0.3063319, 6.9782438
         {-0x1.4c2d72p+3f, 0x1.7a0d7p+3f, 0x1.9369cep+3f},
         {-0x1.71720ep+2f, -0x1.c6e84ep+1f, 0x1.68f0d2p+3f},
         {0x1.18af12p+2f, -0x1.e7459ep+1f, -0x1.ae9c5p+2f},
         {-0x1.021a5p+3f, 0x1.34dd7cp+3f, -0x1.c0d9f4p-1f},
         {-0x1.1b2576p+3f, -0x1.363d3cp+2f, 0x1.b7f9f2p+1f},
         {0x1.773f6ep+2f, -0x1.812ffap+1f, -0x1.73f58ap+1f},
         {0x1.25eedcp+3f, -0x1.b3bf84p-3f, 0x1.370a8p+0f},  // 9.1854076, -0.21276763, 1.215004
         {0x1.013984p+3f, 0x1.2d6bb4p+1f, -0x1.aa554ep+2f},
         {-0x1.3b11bap+3f, 0x1.5fd01ep+2f, -0x1.e7d73ep-3f},
         {-0x1.5d299ap+2f, 0x1.f1ad06p+2f, 0x1.13920ap+3f},
         {-0x1.a81248p-1f, -0x1.c050c4p+2f, -0x1.b20b68p+0f},
         {-0x1.7e7a22p+2f, 0x1.bb8dbp+1f, 0x1.466e0ap+2f},
         {-0x1.2ec676p+2f, -0x1.cf990ap+2f, 0x1.07722cp+3f},
     },
     1483804371},
};

TEST_F(ShaderOutputTest, ScatterDrawsInOrderFromTheReseededStream) {
    ScriptedRenderer renderer({light(1, 1, 1)});
    use(renderer);
    for (const ScatterCase& c : kScatterCases) {
        values().set_bool(TONEMIX_GAUSSIAN, c.gaussian);
        prepare();
        renderer.calls.clear();
        shade(point);
        shade(point);  // the stream carries on from the first point
        ASSERT_EQ(renderer.calls.size(), 16u);
        for (int p = 0; p < 2; ++p) {
            EXPECT_EQ(renderer.calls[p * 8].point, (Colour{1.0f, 3.0f, 3.0f}));
            for (int i = 1; i < 8; ++i) {
                EXPECT_EQ(renderer.calls[p * 8 + i].point, c.samples[p * 7 + i - 1])
                    << "gaussian " << c.gaussian << " point " << p << " sample " << i;
            }
        }
        EXPECT_EQ(node->random.current().seed, c.seed_after) << "gaussian " << c.gaussian;
    }
}

// Beyond one run of draws the points carry on where the last run stopped: the even line by its
// index, the scatter by its stream.
TEST_F(ShaderOutputTest, ManySamplesCarryOnAcrossRunsOfDraws) {
    ScriptedRenderer renderer({light(1, 1, 1)});
    use(renderer);
    values().set_long(TONEMIX_SAMPLES, 200);
    values().set_long(TONEMIX_MODE, MODE_ALONG_NORMAL);
    values().set_bool(TONEMIX_JITTER, 0);
    values().set_real(TONEMIX_DISTANCE, 200.0f);
    prepare();
    shade(point);
    ASSERT_EQ(renderer.calls.size(), 200u);
    for (int i = 1; i < 200; ++i) {
        // Start at y 3, moved back by 100, one unit per sample.
        EXPECT_EQ(renderer.calls[i].point, (Colour{1.0f, -97.0f + i, 3.0f})) << i;
    }

    values().set_long(TONEMIX_MODE, MODE_SCATTER);
    prepare();
    renderer.calls.clear();
    shade(point);
    // Worked out apart from the module like the scatter above, with distance 200: the first and
    // last sample of each run of draws, and the seed after the last. Sample 1 is about
    // (-30.36758, -16.346447, 21.767052), sample 199 about (-5.9023709, 11.641893, 5.7529306).
    const struct {
        int sample;
        Colour point;
    } pinned[] = {
        {1, {-0x1.e5e19cp+4f, -0x1.058b0cp+4f, 0x1.5c45d8p+4f}},
        {64, {-0x1.8640f2p+4f, -0x1.b21c04p+2f, -0x1.1af382p+4f}},
        {65, {0x1.db4c7ap+3f, -0x1.f780ap-2f, 0x1.ed69c6p+1f}},
        {128, {0x1.df087ep+2f, 0x1.dd852p+3f, -0x1.4d8608p+4f}},
        {129, {-0x1.735886p+4f, 0x1.fb279p+3f, 0x1.40993ep+4f}},
        {192, {-0x1.0fa702p+4f, -0x1.12a5fp+4f, 0x1.a1bfeep+3f}},
        {193, {0x1.4074cep+4f, 0x1.ddf738p+3f, 0x1.d05f92p+3f}},
        {199, {-0x1.79c072p+2f, 0x1.748a64p+3f, 0x1.703004p+2f}},
    };
    ASSERT_EQ(renderer.calls.size(), 200u);
    for (const auto& p : pinned) EXPECT_EQ(renderer.calls[p.sample].point, p.point) << p.sample;
    EXPECT_EQ(node->random.current().seed, 1453668295);
}

}  // namespace
