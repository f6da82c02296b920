// The shader node: creation in host memory, defaults, the enabling rule, render set-up and
// tear-down, and destruction.
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bound_host_test.h"
#include "fake_libraries.h"
#include "host_container.h"
#include "shader_registration.h"
#include "test_handles.h"
#include "tonemix_parameters.h"
#include "tonemix_shader.h"

namespace {

using tonemix_test::FakeDescriptionLibrary;
using tonemix_test::FakeList;
using tonemix_test::FakeListLibrary;

class ShaderNodeTest : public tonemix_test::BoundHostTest {
protected:
    void SetUp() override {
        BoundHostTest::SetUp();
        host.libraries().install(TM_LIBRARY_DESCRIPTION, descriptions.header());
        host.libraries().install(TM_LIBRARY_LIST, lists.header());
        node = static_cast<TonemixShader*>(create_shader());
        ASSERT_NE(node, nullptr);
        setup.list_build_word = 0x5eed;
    }
    void TearDown() override {
        if (node != nullptr) free_node(node);
        BoundHostTest::TearDown();
    }
    tmhost::Container& container() { return host_node.container; }

    FakeDescriptionLibrary descriptions;
    FakeListLibrary lists;
    tmhost::Node& host_node = host.containers().make_node();
    TonemixShader* node = nullptr;
    RenderSetup setup{};
};

TEST_F(ShaderNodeTest, CreationIsTaggedAndSeeded) {
    long alloc = host.journal().find("general_alloc");
    ASSERT_GE(alloc, 0);
    const tmhost::JournalEntry& entry = host.journal().entries()[alloc];
    EXPECT_EQ(entry.words[0], sizeof(TonemixShader));
    EXPECT_EQ(entry.words[1], 24u);
    EXPECT_EQ(entry.text, "plugins/tonemix/source/shader/Tonemix Shader");
    EXPECT_EQ(node->random.current().seed, 100);
    EXPECT_EQ(node->random.current().has_spare, 0);
    EXPECT_EQ(node->filter.light_list, nullptr);
}

TEST_F(ShaderNodeTest, CreationWithoutMemoryGivesNull) {
    host.fail("general_alloc");
    EXPECT_EQ(create_shader(), nullptr);
}

TEST_F(ShaderNodeTest, DefaultsAreWrittenInOrderAndMatchTheDescription) {
    host.journal().clear();
    EXPECT_EQ(node->init_defaults(host_node.handle()), 1);
    EXPECT_EQ(container().dump(),
              (std::vector<std::string>{"1008 long 8", "1010 real 1", "1009 real 20", "1012 long 0",
                                        "1013 bool 1", "1011 bool 1", "1014 bool 1",
                                        "2000 long 23082003", "2001 long 1", "2003 bool 0"}));
    EXPECT_EQ(host.journal().operations().front(), "node_get_container");

    std::ifstream file(std::string(TONEMIX_SOURCE_DIR) +
                       "/plugins/tonemix/res/description/Xtonemix.json");
    nlohmann::json description = nlohmann::json::parse(file);
    for (const nlohmann::json& parameter : description["parameters"]) {
        int32_t id = parameter["id"];
        std::string type = parameter["type"];
        if (!parameter.contains("default")) {
            EXPECT_EQ(container().find_index(id), -1) << id;
            continue;
        }
        ASSERT_NE(container().find_index(id), -1) << id;
        if (type == "real") {
            EXPECT_EQ(container().get_real(id), parameter["default"].get<float>()) << id;
        } else if (type == "bool") {
            EXPECT_EQ(container().get_bool(id), parameter["default"].get<bool>() ? 1 : 0) << id;
        } else {
            EXPECT_EQ(container().get_long(id), parameter["default"].get<int32_t>()) << id;
        }
    }
}

TEST_F(ShaderNodeTest, JitterIsEnabledOnlyAlongTheNormal) {
    int dummy_id = 0;
    descriptions.record[0] = TONEMIX_JITTER;
    EXPECT_EQ(node->is_parameter_enabled(host_node.handle(),
                                         tonemix_test::as<DescriptionIdHandle>(&dummy_id), 0, 0, 0),
              0)
        << "mode absent";
    for (int32_t mode : {0, 2, -1}) {
        container().set_long(TONEMIX_MODE, mode);
        EXPECT_EQ(
            node->is_parameter_enabled(host_node.handle(),
                                       tonemix_test::as<DescriptionIdHandle>(&dummy_id), 0, 0, 0),
            0)
            << mode;
    }
    container().set_long(TONEMIX_MODE, 1);
    host.journal().clear();
    EXPECT_EQ(node->is_parameter_enabled(host_node.handle(),
                                         tonemix_test::as<DescriptionIdHandle>(&dummy_id), 0, 0, 0),
              1);
    EXPECT_EQ(host.journal().operations().front(), "node_get_container");

    for (int32_t id :
         {int32_t{TONEMIX_MODE}, int32_t{TONEMIX_SAMPLES}, int32_t{TONEMIX_LIGHTS}, 0}) {
        descriptions.record[0] = id;
        container().set_long(TONEMIX_MODE, 0);
        EXPECT_EQ(
            node->is_parameter_enabled(host_node.handle(),
                                       tonemix_test::as<DescriptionIdHandle>(&dummy_id), 0, 0, 0),
            1)
            << id;
    }
}

TEST_F(ShaderNodeTest, WithoutTheDescriptionLibraryEverythingIsEnabled) {
    host.libraries().remove(TM_LIBRARY_DESCRIPTION);
    descriptions.record[0] = TONEMIX_JITTER;
    container().set_long(TONEMIX_MODE, 0);
    EXPECT_EQ(node->is_parameter_enabled(host_node.handle(), nullptr, 0, 0, 0), 1);
    EXPECT_EQ(descriptions.get_id_calls, 0);
}

// A host whose id lookup fails answers null; the module takes that as no parameter at all.
TEST_F(ShaderNodeTest, AFailedIdLookupEnablesTheParameter) {
    host.libraries().install(TM_LIBRARY_DESCRIPTION, &host.description_library().table().header);
    DescriptionIdHandle jitter = host.description_library().description_id(TONEMIX_JITTER);
    container().set_long(TONEMIX_MODE, 0);
    EXPECT_EQ(node->is_parameter_enabled(host_node.handle(), jitter, 0, 0, 0), 0);
    ASSERT_TRUE(host.fail("desclib_get_id"));
    EXPECT_EQ(node->is_parameter_enabled(host_node.handle(), jitter, 0, 0, 0), 1);
    EXPECT_EQ(host.journal().count("desclib_get_id"), 2u);
}

TEST_F(ShaderNodeTest, PrepareWithDefaults) {
    node->init_defaults(host_node.handle());
    EXPECT_EQ(node->prepare_render(host_node.handle(), &setup), 0);
    EXPECT_EQ(node->samples, 8);
    EXPECT_EQ(node->distance, 20.0f);
    EXPECT_EQ(node->offset, 1.0f);
    EXPECT_NE(node->gaussian, 0);
    EXPECT_NE(node->shadows, 0);
    EXPECT_NE(node->jitter, 0);
    EXPECT_EQ(node->mode, 0);
    EXPECT_EQ(node->random.current().seed, 23082003);
    EXPECT_EQ(node->random.current().has_spare, 0);
    EXPECT_EQ(node->filter.exclude_listed, 1);
    EXPECT_EQ(node->filter.light_list, nullptr);
}

TEST_F(ShaderNodeTest, PrepareWithAnEmptyContainerReadsZeros) {
    node->random.take_run<3>([](auto& stream) { stream.gauss_spread(); });
    host.journal().clear();
    EXPECT_EQ(node->prepare_render(host_node.handle(), &setup), 0);
    EXPECT_EQ(node->samples, 0);
    EXPECT_EQ(node->distance, 0.0f);
    EXPECT_EQ(node->offset, 0.0f);
    EXPECT_EQ(node->gaussian, 0);
    EXPECT_EQ(node->shadows, 0);
    EXPECT_EQ(node->jitter, 0);
    EXPECT_EQ(node->random.current().seed, 0);
    EXPECT_EQ(node->random.current().has_spare, 0) << "the spare of the last render is dropped";
    EXPECT_EQ(node->filter.exclude_listed, 0);
    // Nine ids asked for, each absent: one host call apiece, then the list's element.
    EXPECT_EQ(host.journal().count("container_find_index"), 9u);
    EXPECT_EQ(host.journal().count("container_get_long"), 0u);
    EXPECT_TRUE(host.journal().contains_in_order({"container_get_data", "customdata_get"}));
}

TEST_F(ShaderNodeTest, OnlyListModeOneExcludes) {
    for (int32_t mode : {0, 2, -1}) {
        container().set_long(TONEMIX_LIST_MODE, mode);
        node->prepare_render(host_node.handle(), &setup);
        EXPECT_EQ(node->filter.exclude_listed, 0) << mode;
    }
    container().set_long(TONEMIX_LIST_MODE, 1);
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(node->filter.exclude_listed, 1);
}

TEST_F(ShaderNodeTest, ListIsBuiltWithTheSetupWordAndReleasedOnce) {
    FakeList list{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    node->prepare_render(host_node.handle(), &setup);
    ASSERT_NE(node->filter.light_list, nullptr);
    EXPECT_EQ(lists.build_words, (std::vector<int32_t>{0x5eed}));
    node->release_render(0);
    EXPECT_EQ(node->filter.light_list, nullptr);
    node->release_render(0);
    EXPECT_EQ(lists.frees, 1);
    EXPECT_TRUE(lists.live.empty());
}

TEST_F(ShaderNodeTest, EmptyOrUnbuildableListMeansNoList) {
    FakeList empty;
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &empty);
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(node->filter.light_list, nullptr);
    EXPECT_TRUE(lists.build_words.empty());

    FakeList one{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &one);
    lists.build_fails = true;
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(node->filter.light_list, nullptr);

    // Custom data of another type is no list.
    container().set_custom(TONEMIX_LIGHTS, 12345, &one);
    lists.build_fails = false;
    lists.build_words.clear();
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(node->filter.light_list, nullptr);
    EXPECT_TRUE(lists.build_words.empty());
}

TEST_F(ShaderNodeTest, SecondSetUpReleasesTheFirstList) {
    FakeList list{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    node->prepare_render(host_node.handle(), &setup);
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(lists.frees, 1);
    EXPECT_EQ(lists.live.size(), 1u);
}

TEST_F(ShaderNodeTest, WithoutTheListLibraryAtTearDownTheHandleStays) {
    FakeList list{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    node->prepare_render(host_node.handle(), &setup);
    void* handle = node->filter.light_list;
    lists.table.listlib_free = nullptr;
    node->release_render(0);
    EXPECT_EQ(node->filter.light_list, handle);
    lists.table.header.bound = TM_LISTLIB_CONTAINS_OFFSET;  // too short for the free slot
    node->release_render(0);
    EXPECT_EQ(node->filter.light_list, handle);
    node->filter.light_list = nullptr;  // the fake frees its lists itself
}

// A handle the library could never take back would outlive the render: no list is built then, and
// every light counts as without a list.
TEST_F(ShaderNodeTest, ALibraryThatCannotFreeListsGetsNoneBuilt) {
    FakeList list{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    const auto own_free = lists.table.listlib_free;
    lists.table.listlib_free = nullptr;
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(node->filter.light_list, nullptr);
    EXPECT_TRUE(lists.build_words.empty());
    EXPECT_TRUE(lists.live.empty());

    lists.table.listlib_free = own_free;
    lists.table.header.bound = TM_LISTLIB_FREE_OFFSET - 4;  // serves build, not free
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(node->filter.light_list, nullptr);
    EXPECT_TRUE(lists.build_words.empty());
}

// A library that lacks the count or the build builds no list; a set-up the host does not hand
// over builds the list with a word of zero.
TEST_F(ShaderNodeTest, AListLibraryWithoutCountOrBuildBuildsNoList) {
    FakeList list{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    const auto own_count = lists.table.listlib_count;
    const auto own_build = lists.table.listlib_build;
    lists.table.listlib_count = nullptr;
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(node->filter.light_list, nullptr);
    EXPECT_TRUE(lists.build_words.empty());

    lists.table.listlib_count = own_count;
    lists.table.listlib_build = nullptr;
    node->prepare_render(host_node.handle(), &setup);
    EXPECT_EQ(node->filter.light_list, nullptr);
    EXPECT_TRUE(lists.live.empty());

    lists.table.listlib_build = own_build;
    node->prepare_render(host_node.handle(), nullptr);
    EXPECT_NE(node->filter.light_list, nullptr);
    EXPECT_EQ(lists.build_words, std::vector<int32_t>{0});
}

TEST_F(ShaderNodeTest, DestroyWithoutBitZeroKeepsTheMemory) {
    FakeList list{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    node->prepare_render(host_node.handle(), &setup);
    std::size_t live = host.memory().live_count();
    node->destroy(0);
    EXPECT_EQ(lists.frees, 1);
    EXPECT_EQ(host.memory().live_count(), live);
    mem_free(node);
    node = nullptr;
}

TEST_F(ShaderNodeTest, ANodeDeletedThroughItsBaseGoesBackToTheHostsMemory) {
    // The host's memory, not the C++ heap: the node was made in the host's.
    const std::size_t live = host.memory().live_count();
    NodeDataBase* base = node;
    node = nullptr;
    delete base;
    EXPECT_EQ(host.memory().live_count(), live - 1);
}

TEST_F(ShaderNodeTest, AFilterNeverBuiltOrReleasedTwiceFreesNoList) {
    FakeList list{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    LightFilter filter;
    EXPECT_EQ(filter.light_list, nullptr);
    EXPECT_EQ(filter.exclude_listed, 0);
    filter.release();
    EXPECT_EQ(lists.frees, 0);
    filter.build(tonemix_test::as<ListDataHandle>(&list), LIST_MODE_EXCLUDE, &setup);
    ASSERT_NE(filter.light_list, nullptr);
    EXPECT_EQ(filter.exclude_listed, 1);
    filter.release();
    filter.release();
    EXPECT_EQ(lists.frees, 1);
    EXPECT_EQ(filter.light_list, nullptr);
}

TEST_F(ShaderNodeTest, FreeNodeReleasesTheListAndTheMemory) {
    FakeList list{{tonemix_test::as<SceneObjectHandle>(&setup)}};
    container().set_custom(TONEMIX_LIGHTS, TM_LIBRARY_LIST, &list);
    node->prepare_render(host_node.handle(), &setup);
    free_node(node);
    node = nullptr;
    EXPECT_EQ(lists.frees, 1);
    EXPECT_EQ(host.memory().live_count(), 0u);
}

TEST_F(ShaderNodeTest, FixedOperationsAnswerTheirResultsThroughTheRecord) {
    ShaderRegistration r{};
    fill_shader_record(&r, create_shader, 0, 0, 0);
    host.journal().clear();
    r.node_hook_2(node, 1);
    EXPECT_EQ(r.node_hook_3(node, 1, 2, 3), 1);
    EXPECT_EQ(r.node_hook_4(node, 1, 2), 1);
    EXPECT_EQ(r.node_hook_5(node, 1, 2, 3), 1);
    EXPECT_EQ(r.node_hook_6(node, 1, 2, 3, 4, 5), 1);
    r.node_hook_7(node, 1, 2);
    EXPECT_EQ(r.node_hook_8(node, 1), 0);
    EXPECT_EQ(r.node_hook_9(node, 1, 2, 3), 0);
    EXPECT_EQ(r.node_hook_10(node, 1, 2, 3), 0);
    EXPECT_EQ(r.node_hook_11(node, 1, 2, 3, 4), 1);
    EXPECT_EQ(r.node_hook_13(node, 1, 2, 3, 4), 1);
    EXPECT_EQ(r.shader_hook_14(node, 1, 2, 3, 4, 5), 1);
    EXPECT_EQ(r.shader_hook_15(node, 1), 0);
    EXPECT_EQ(host.journal().size(), 0u);
}

}  // namespace
