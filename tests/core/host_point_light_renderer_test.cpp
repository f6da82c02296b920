// The point-light renderer behind the render sub-table, and the records one shaded point lends:
// laid out where the module reads them, and every question passed to the light source.
#include <cstring>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "host/core/point_light_renderer.h"
#include "host/core/stand_in_host.h"

namespace {

// Keeps every question; light 1 never reaches anything.
class RecordingSource {
public:
    struct Question {
        int32_t index;
        float point[3];
        bool shadows;
    };
    bool illuminate(int32_t index, const float point[3], bool shadows, float colour_out[3]) const {
        std::lock_guard<std::mutex> lock(mutex_);
        questions.push_back({index, {point[0], point[1], point[2]}, shadows});
        if (index == 1) return false;
        colour_out[0] = 10.0f + index;
        colour_out[1] = 20.0f + index;
        colour_out[2] = 30.0f + index;
        return true;
    }
    mutable std::vector<Question> questions;

private:
    mutable std::mutex mutex_;
};

template <typename T>
T read_at(const void* record, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
    return value;
}

class PointLights : public ::testing::Test {
protected:
    static std::vector<tmhost::PointLightEntry> entries(int* objects) {
        std::vector<tmhost::PointLightEntry> lights(3);
        for (int i = 0; i < 3; ++i) lights[i].scene_object = &objects[i];
        lights[2].object_flags = {0, TM_OBJECT_FLAG_NOT_LIT, TM_OBJECT_FLAG_OTHER};
        return lights;
    }

    tmhost::StandInHost host;
    int objects[3] = {};
    RecordingSource source;
    tmhost::PointLightRenderer renderer{entries(objects), source};
    RenderContext* context = nullptr;  // the renderer asks the source, not the context
};

TEST_F(PointLights, CountAndLightsInRangeOnly) {
    EXPECT_EQ(renderer.light_count(context), 3);
    for (int32_t i = 0; i < 3; ++i) {
        ASSERT_NE(renderer.get_light(context, i), nullptr);
        EXPECT_EQ(renderer.get_light(context, i), renderer.get_light(context, i)) << "stable";
        EXPECT_EQ(renderer.index_of(renderer.get_light(context, i)), i);
    }
    EXPECT_EQ(renderer.get_light(context, -1), nullptr);
    EXPECT_EQ(renderer.get_light(context, 3), nullptr);

    RecordingSource none;
    tmhost::PointLightRenderer empty({}, none);
    EXPECT_EQ(empty.light_count(context), 0);
    EXPECT_EQ(empty.get_light(context, 0), nullptr);
}

TEST_F(PointLights, RecordsCarryTheSceneObjectAndFlagTableAtTheirOffsets) {
    const LightRecord* plain = renderer.get_light(context, 0);
    EXPECT_EQ(read_at<void*>(plain, 12), &objects[0]);
    EXPECT_EQ(read_at<const uint8_t*>(plain, 232), nullptr);
    EXPECT_EQ(read_at<int32_t>(plain, 236), 0);

    const LightRecord* flagged = renderer.get_light(context, 2);
    EXPECT_EQ(read_at<void*>(flagged, 12), &objects[2]);
    const uint8_t* flags = read_at<const uint8_t*>(flagged, 232);
    ASSERT_NE(flags, nullptr);
    EXPECT_EQ(read_at<int32_t>(flagged, 236), 3);
    EXPECT_EQ(flags[0], 0);
    EXPECT_EQ(flags[1], TM_OBJECT_FLAG_NOT_LIT);
    EXPECT_EQ(flags[2], TM_OBJECT_FLAG_OTHER);
    // Everything the module does not read is zero, so no stray bytes reach it.
    EXPECT_EQ(read_at<uint32_t>(flagged, 0), 0u);
    EXPECT_EQ(read_at<uint32_t>(flagged, 16), 0u);
    EXPECT_EQ(read_at<uint32_t>(flagged, 228), 0u);
}

TEST_F(PointLights, IlluminateAsksTheSourceForTheRecordsLightAndShadowFlag) {
    const float point[3] = {1.0f, -2.0f, 3.5f};
    float colour[3] = {-1.0f, -1.0f, -1.0f};
    float work[3] = {};
    EXPECT_EQ(renderer.illuminate(context, renderer.get_light(context, 2), colour, work, point,
                                  work, 1, 0),
              1);
    EXPECT_EQ(colour[0], 12.0f);
    EXPECT_EQ(colour[1], 22.0f);
    EXPECT_EQ(colour[2], 32.0f);

    // A light that does not reach the point leaves the colour as it was.
    EXPECT_EQ(renderer.illuminate(context, renderer.get_light(context, 1), colour, work, point,
                                  work, 0, 0),
              0);
    EXPECT_EQ(colour[0], 12.0f);

    ASSERT_EQ(source.questions.size(), 2u);
    EXPECT_EQ(source.questions[0].index, 2);
    EXPECT_TRUE(source.questions[0].shadows);
    EXPECT_EQ(source.questions[0].point[1], -2.0f);
    EXPECT_EQ(source.questions[1].index, 1);
    EXPECT_FALSE(source.questions[1].shadows);
    EXPECT_TRUE(host.misuses().messages().empty());
}

TEST_F(PointLights, RecordsItNeverHandedOutReachNothingAndAreReported) {
    const float point[3] = {};
    float colour[3] = {7.0f, 7.0f, 7.0f};
    float work[3] = {};
    LightRecord copy = *renderer.get_light(context, 0);
    LightRecord* inside = reinterpret_cast<LightRecord*>(
        reinterpret_cast<unsigned char*>(renderer.get_light(context, 1)) + 4);
    for (LightRecord* record : {&copy, inside, static_cast<LightRecord*>(nullptr)}) {
        EXPECT_EQ(renderer.illuminate(context, record, colour, work, point, work, 1, 0), 0);
    }
    EXPECT_EQ(colour[0], 7.0f);
    EXPECT_TRUE(source.questions.empty());
    EXPECT_EQ(host.misuses().count(), 3u);
    EXPECT_EQ(host.misuses().messages()[0],
              "render_illuminate: not a light record of the renderer");
}

TEST_F(PointLights, TheRenderTableReachesTheAttachedRenderer) {
    HostRender& render = *host.table()->render;
    EXPECT_EQ(render.light_count(context), 0);  // nothing attached yet: reported
    host.misuses().clear();
    host.set_render_backend(&renderer);
    EXPECT_EQ(render.light_count(context), 3);
    LightRecord* light = render.get_light(context, 0);
    EXPECT_EQ(light, renderer.get_light(context, 0));
    const float point[3] = {};
    float colour[3] = {};
    float work[3] = {};
    EXPECT_EQ(render.illuminate(context, light, colour, work, point, work, 0, 0), 1);
    EXPECT_EQ(colour[2], 30.0f);
    host.set_render_backend(nullptr);
    EXPECT_TRUE(host.misuses().messages().empty());
}

TEST(ShadingPoints, RecordsPointAtEachOtherWhereTheModuleLooks) {
    tmhost::ShadingPoint shading;
    EXPECT_EQ(read_at<RenderContext*>(&shading.input, 0x2c), &shading.context);
    EXPECT_EQ(read_at<ShadedObjectRecord*>(&shading.context, 0x130), &shading.object);
    EXPECT_EQ(read_at<uint32_t>(&shading.input, 0), 0u);
    EXPECT_EQ(read_at<uint32_t>(&shading.object, 0x5c), 0u);

    const float p[3] = {1.0f, 2.0f, 3.0f};
    const float n[3] = {0.0f, 0.6f, 0.8f};
    shading.set(p, n, 5, 9);
    EXPECT_EQ(read_at<float>(&shading.context, 0x48), 1.0f);
    EXPECT_EQ(read_at<float>(&shading.context, 0x50), 3.0f);
    EXPECT_EQ(read_at<float>(&shading.context, 0x58), 0.6f);
    EXPECT_EQ(read_at<int32_t>(&shading.object, 0xf0), 5);
    EXPECT_EQ(read_at<uint32_t>(&shading.object, 0x5c), 9u);
}

}  // namespace
