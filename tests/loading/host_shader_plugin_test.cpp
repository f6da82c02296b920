// The host driving shader nodes through the registration record alone: the built module's whole
// life, answers worked out by hand, and records the host must not trust.
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "constant_light_source.h"
#include "host/core/point_light_renderer.h"
#include "host/loading/default_check.h"
#include "host/loading/module_lifecycle.h"
#include "host/loading/shader_plugin.h"
#include "module_file_test.h"

namespace {

using Colour = std::vector<float>;

// Light 0 and 1 everywhere, light 2 only without shadows, light 3 not on object 1. Every value is
// a short binary fraction, so every sum and the mean over the samples are exact: whatever points
// the module samples, the colour is the sum of the lights it accepted.
const std::vector<tonemix_test::ConstantLightSource::Light> constant_lights = {
    {{0.5f, 0.25f, 0.125f}, 1.0f, false},
    {{0.25f, 0.5f, 1.0f}, 2.0f, false},
    {{1.0f, 1.0f, 1.0f}, 1.0f, true},
    {{0.0625f, 0.0625f, 0.0625f}, 1.0f, false},
};

class ShaderThroughTheRecord : public tonemix_test::ModuleFileTest {
protected:
    void SetUp() override {
        ModuleFileTest::SetUp();
        lifecycle.emplace(host, entry, tonemix_test::module_file());
        ASSERT_TRUE(lifecycle->start());
        ASSERT_TRUE(shader.find(host, 1007539));
        lights.resize(constant_lights.size());
        for (std::size_t i = 0; i < lights.size(); ++i) lights[i].scene_object = &objects[i];
        lights[3].object_flags = {0, TM_OBJECT_FLAG_NOT_LIT};
        renderer = std::make_unique<tmhost::PointLightRenderer>(lights, source);
        host.set_render_backend(renderer.get());
    }
    void TearDown() override {
        host.set_render_backend(nullptr);
        if (lifecycle) {
            EXPECT_TRUE(lifecycle->end());
        }
        module.unload();
        EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
    }

    Colour shade(void* node, int32_t object_index, uint32_t reference = 1) {
        const float p[3] = {1.0f, 2.0f, 3.0f};
        const float n[3] = {0.0f, 1.0f, 0.0f};
        point.set(p, n, object_index, reference);
        float colour[3] = {-1.0f, -1.0f, -1.0f};
        shader.compute_output(node, &point.input, colour);
        return {colour[0], colour[1], colour[2]};
    }

    std::optional<tmhost::ModuleLifecycle> lifecycle;
    tmhost::ShaderPlugin shader;
    int objects[4] = {};
    std::vector<tmhost::PointLightEntry> lights;
    tonemix_test::ConstantLightSource source{constant_lights};
    std::unique_ptr<tmhost::PointLightRenderer> renderer;
    tmhost::ShadingPoint point;
};

TEST_F(ShaderThroughTheRecord, ANodesWholeLifeLeavesNothingBehind) {
    EXPECT_EQ(shader.record().create != nullptr, true);
    void* node = shader.create();
    ASSERT_NE(node, nullptr);
    tmhost::Node& host_node = host.containers().make_node();
    EXPECT_EQ(shader.init_defaults(node, host_node), 1);

    // The defaults are the ones the description resource gives, read through the host's own store.
    const int32_t handle = host.resources().load(tonemix_test::resource_folder());
    ASSERT_NE(handle, 0) << host.resources().last_error();
    const tmhost::Description* description = host.resources().description(handle, "Xtonemix");
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(tmhost::default_differences(*description, host_node.container),
              std::vector<std::string>{});
    host.resources().free(handle);

    RenderSetup setup;
    std::memset(&setup, 0, sizeof setup);
    EXPECT_EQ(shader.prepare_render(node, host_node, &setup), 0);
    EXPECT_EQ(shade(node, 0), (Colour{1.0625f, 1.3125f, 2.1875f}));
    EXPECT_EQ(shade(node, 1), (Colour{1.0f, 1.25f, 2.125f}));  // light 3 does not light object 1
    EXPECT_EQ(shade(node, 1, 0), (Colour{1.0625f, 1.3125f, 2.1875f}));  // no reference: flags off
    shader.release_render(node);

    host_node.container.set_bool(1014, 0);  // without shadows light 2 reaches too
    EXPECT_EQ(shader.prepare_render(node, host_node, &setup), 0);
    EXPECT_EQ(shade(node, 0), (Colour{2.0625f, 2.3125f, 3.1875f}));
    shader.release_render(node);

    shader.free_node(node);
    host.containers().destroy(host_node);
    EXPECT_EQ(host.memory().live_count(), 0u);
    EXPECT_TRUE(host.journal().contains_in_order({"general_alloc", "container_set_long",
                                                  "render_light_count", "render_illuminate",
                                                  "general_free"}));
}

TEST_F(ShaderThroughTheRecord, AnExcludedLightIsNeverAskedAndItsHandleIsFreed) {
    void* node = shader.create();
    ASSERT_NE(node, nullptr);
    tmhost::Node& host_node = host.containers().make_node();
    shader.init_defaults(node, host_node);
    tmhost::LightListData list;
    list.scene_objects = {&objects[1]};
    host_node.container.set_custom(2002, TM_LIBRARY_LIST, &list);

    RenderSetup setup;
    std::memset(&setup, 0, sizeof setup);
    EXPECT_EQ(shader.prepare_render(node, host_node, &setup), 0);
    EXPECT_EQ(host.list_library().live_count(), 1u);
    host.journal().clear();
    // The list alone decides: light 3 now lights object 1 too.
    EXPECT_EQ(shade(node, 1), (Colour{0.5625f, 0.3125f, 0.1875f}));
    EXPECT_GT(host.journal().count("listlib_contains"), 0u);
    for (const tmhost::JournalEntry& call : host.journal().entries()) {
        if (call.operation == "render_illuminate") {
            EXPECT_NE(call.words[1], tmhost::word_of(renderer->get_light(nullptr, 1)));
        }
    }
    shader.release_render(node);
    EXPECT_EQ(host.list_library().live_count(), 0u);

    shader.free_node(node);
    host.containers().destroy(host_node);
}

TEST_F(ShaderThroughTheRecord, JitterIsOfferedOnlyAlongTheNormal) {
    void* node = shader.create();
    ASSERT_NE(node, nullptr);
    tmhost::Node& host_node = host.containers().make_node();
    shader.init_defaults(node, host_node);
    DescriptionIdHandle jitter = host.description_library().description_id(1013);
    DescriptionIdHandle mode = host.description_library().description_id(1012);
    EXPECT_EQ(shader.is_parameter_enabled(node, host_node, jitter), 0);
    EXPECT_EQ(shader.is_parameter_enabled(node, host_node, mode), 1);
    host_node.container.set_long(1012, 1);
    EXPECT_EQ(shader.is_parameter_enabled(node, host_node, jitter), 1);
    shader.free_node(node);
    host.containers().destroy(host_node);
}

TEST_F(ShaderThroughTheRecord, AModuleWithoutMemoryMakesNoNode) {
    host.fail("general_alloc");
    EXPECT_EQ(shader.create(), nullptr);
    host.restore();
    shader.free_node(nullptr);  // the module's free_node takes null
}

// Entries that say which slot the host reached, on which node and with which words. Each answers
// its slot number, which the host must pass back unchanged.
struct Reached {
    const char* name = nullptr;
    void* node = nullptr;
    int32_t sum_of_words = -1;
};
Reached reached;

int32_t hit(const char* name, void* node, int32_t words, int32_t answer) {
    reached = {name, node, words};
    return answer;
}
void TM_THISCALL node_hook_2(void* node, int32_t a) { hit("node_hook_2", node, a, 0); }
int32_t TM_THISCALL node_hook_3(void* node, int32_t a, int32_t b, int32_t c) {
    return hit("node_hook_3", node, a + b + c, 3);
}
int32_t TM_THISCALL node_hook_4(void* node, int32_t a, int32_t b) {
    return hit("node_hook_4", node, a + b, 4);
}
int32_t TM_THISCALL node_hook_5(void* node, int32_t a, int32_t b, int32_t c) {
    return hit("node_hook_5", node, a + b + c, 5);
}
int32_t TM_THISCALL node_hook_6(void* node, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
    return hit("node_hook_6", node, a + b + c + d + e, 6);
}
void TM_THISCALL node_hook_7(void* node, int32_t a, int32_t b) {
    hit("node_hook_7", node, a + b, 0);
}
int32_t TM_THISCALL node_hook_8(void* node, int32_t a) { return hit("node_hook_8", node, a, 8); }
int32_t TM_THISCALL node_hook_9(void* node, int32_t a, int32_t b, int32_t c) {
    return hit("node_hook_9", node, a + b + c, 9);
}
int32_t TM_THISCALL node_hook_10(void* node, int32_t a, int32_t b, int32_t c) {
    return hit("node_hook_10", node, a + b + c, 10);
}
int32_t TM_THISCALL node_hook_11(void* node, int32_t a, int32_t b, int32_t c, int32_t d) {
    return hit("node_hook_11", node, a + b + c + d, 11);
}
int32_t TM_THISCALL node_hook_13(void* node, int32_t a, int32_t b, int32_t c, int32_t d) {
    return hit("node_hook_13", node, a + b + c + d, 13);
}
int32_t TM_THISCALL shader_hook_14(void* node, int32_t a, int32_t b, int32_t c, int32_t d,
                                   int32_t e) {
    return hit("shader_hook_14", node, a + b + c + d + e, 14);
}
int32_t TM_THISCALL shader_hook_15(void* node, int32_t a) {
    return hit("shader_hook_15", node, a, 15);
}

TEST(ShaderPluginRecords, EveryFixedOperationReachesItsOwnSlotWithZeroWords) {
    tmhost::StandInHost host;
    ShaderRegistration record;
    std::memset(&record, 0, sizeof record);
    record.node_hook_2 = node_hook_2;
    record.node_hook_3 = node_hook_3;
    record.node_hook_4 = node_hook_4;
    record.node_hook_5 = node_hook_5;
    record.node_hook_6 = node_hook_6;
    record.node_hook_7 = node_hook_7;
    record.node_hook_8 = node_hook_8;
    record.node_hook_9 = node_hook_9;
    record.node_hook_10 = node_hook_10;
    record.node_hook_11 = node_hook_11;
    record.node_hook_13 = node_hook_13;
    record.shader_hook_14 = shader_hook_14;
    record.shader_hook_15 = shader_hook_15;
    tmhost::PluginRegistration registration;
    registration.type = TM_PLUGIN_TYPE_SHADER;
    registration.id = 77;
    registration.record.assign(reinterpret_cast<unsigned char*>(&record),
                               reinterpret_cast<unsigned char*>(&record) + sizeof record);
    host.registrations().add(registration);

    tmhost::ShaderPlugin shader;
    ASSERT_TRUE(shader.find(host, 77));
    int node = 0;
    for (const tmhost::FixedOperation& operation : tmhost::ShaderPlugin::fixed_operations()) {
        reached = Reached{};
        const int32_t result = shader.call_fixed(&node, operation);
        ASSERT_NE(reached.name, nullptr) << operation.name;
        EXPECT_EQ(std::string(reached.name), operation.name);
        EXPECT_EQ(reached.node, &node) << operation.name;
        EXPECT_EQ(reached.sum_of_words, 0) << operation.name;
        if (operation.has_result) {
            const std::string name = operation.name;
            EXPECT_EQ(result, std::stoi(name.substr(name.rfind('_') + 1))) << name;
        }
    }
    EXPECT_EQ(tmhost::ShaderPlugin::fixed_operations().size(), 13u);
    EXPECT_TRUE(host.misuses().messages().empty());
}

TEST(ShaderPluginRecords, OnlyAShaderRecordOfFullSizeIsFound) {
    tmhost::StandInHost host;
    tmhost::ShaderPlugin shader;
    EXPECT_FALSE(shader.find(host, 5));

    tmhost::PluginRegistration registration;
    registration.id = 5;
    registration.type = TM_PLUGIN_TYPE_SHADER;
    registration.record.assign(284, 0);
    host.registrations().add(registration);
    EXPECT_FALSE(shader.find(host, 5));

    registration.record.assign(288, 0);
    registration.type = TM_PLUGIN_TYPE_SHADER + 1;
    host.registrations().add(registration);
    EXPECT_FALSE(shader.find(host, 5));
    EXPECT_FALSE(shader.found());
}

TEST(ShaderPluginRecords, NullEntriesAreReportedNotCalled) {
    tmhost::StandInHost host;
    tmhost::PluginRegistration registration;
    registration.id = 6;
    registration.type = TM_PLUGIN_TYPE_SHADER;
    registration.record.assign(288, 0);
    host.registrations().add(registration);
    tmhost::ShaderPlugin shader;
    ASSERT_TRUE(shader.find(host, 6));

    int not_a_node = 0;
    tmhost::Node& host_node = host.containers().make_node();
    EXPECT_EQ(shader.create(), nullptr);
    EXPECT_EQ(shader.init_defaults(&not_a_node, host_node), 0);
    EXPECT_EQ(shader.is_parameter_enabled(&not_a_node, host_node, nullptr), 0);
    EXPECT_EQ(shader.prepare_render(&not_a_node, host_node, nullptr), 0);
    shader.release_render(&not_a_node);
    float colour[3] = {5.0f, 5.0f, 5.0f};
    shader.compute_output(&not_a_node, nullptr, colour);
    EXPECT_EQ(colour[0], 0.0f);
    EXPECT_EQ(shader.call_fixed(&not_a_node, tmhost::ShaderPlugin::fixed_operations()[0]), 0);
    shader.free_node(&not_a_node);
    EXPECT_EQ(host.misuses().count(), 8u);
    EXPECT_EQ(host.misuses().messages()[0], "shader create: the record's entry is null");
    EXPECT_EQ(host.misuses().messages()[7], "shader free_node: the record's entry is null");
}

}  // namespace
