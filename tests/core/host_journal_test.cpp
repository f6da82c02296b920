// The journal, failing and replacing single operations, and what happens around the active host.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "test_handles.h"

#include "host/core/list_library.h"
#include "host/core/operations.h"
#include "host/core/stand_in_host.h"

namespace {

HostFilenameHandle TM_CDECL replacement_alloc() { return nullptr; }

TEST(HostJournal, RecordsOperationsInOrderWithWordsAndText) {
    tmhost::StandInHost host;
    HostStringStorage s;
    host.table()->string->init(&s);
    host.table()->string->set_cstr(&s, "Tonemix", -1, 0);
    host.table()->string->free(&s);
    const tmhost::Journal& journal = host.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_TRUE(journal.contains_in_order({"string_init", "string_free"}));
    EXPECT_FALSE(journal.contains_in_order({"string_free", "string_init"}));
    EXPECT_EQ(journal.entries()[1].text, "Tonemix");
    EXPECT_EQ(journal.entries()[1].words[2], 0xffffffffu);  // the length -1
    EXPECT_EQ(journal.entries()[0].words[0], tmhost::word_of(&s));
    EXPECT_EQ(journal.find("string_free"), 2);
    EXPECT_EQ(journal.find("filename_alloc"), -1);
    host.journal().clear();
    EXPECT_EQ(host.journal().size(), 0u);
}

TEST(HostJournal, EveryOperationHasItsNamedSlot) {
    tmhost::StandInHost host;
    EXPECT_EQ(tmhost::all_operations().size(), 40u);
    for (const tmhost::OperationInfo& info : tmhost::all_operations()) {
        EXPECT_EQ(tmhost::find_operation(info.name), &info) << info.name;
        EXPECT_FALSE(host.is_replaced(info.name)) << info.name;
    }
    EXPECT_EQ(tmhost::find_operation("string_explode"), nullptr);
}

TEST(HostFailures, AFailedOperationIsJournaledAndAnswersItsFailureValue) {
    tmhost::StandInHost host;
    EXPECT_FALSE(host.fail("no_such_operation"));
    ASSERT_TRUE(host.fail("resource_load"));
    ASSERT_TRUE(host.fail("container_find_index"));
    HostFilenameStorage name;
    host.filenames().start(&name, "anywhere");
    EXPECT_EQ(host.table()->resource->load(&name), 0);
    tmhost::Container& c = host.containers().make_container();
    c.set_long(1, 1);
    EXPECT_EQ(host.table()->container->find_index(tonemix_test::handle(c), 1), -1);
    EXPECT_EQ(host.journal().count("resource_load"), 1u);
    EXPECT_TRUE(host.journal().entries()[0].failed_on_request);
    EXPECT_TRUE(host.resources().attempts().empty());  // nothing was tried

    ASSERT_TRUE(host.restore("resource_load"));
    EXPECT_EQ(host.table()->resource->load(&name), 0);
    EXPECT_EQ(host.resources().attempts().size(), 1u);  // really tried this time
    EXPECT_EQ(host.table()->container->find_index(tonemix_test::handle(c), 1),
              -1);  // still failing
    host.restore();
    EXPECT_EQ(host.table()->container->find_index(tonemix_test::handle(c), 1), 0);
    host.filenames().destroy(&name);
}

TEST(HostFailures, AReplacedSlotIsCalledUntilRestored) {
    tmhost::StandInHost host;
    host.tables().filename.alloc = replacement_alloc;
    EXPECT_TRUE(host.is_replaced("filename_alloc"));
    EXPECT_EQ(host.table()->filename->alloc(), nullptr);
    EXPECT_EQ(host.journal().count("filename_alloc"), 0u);  // the replacement does not journal
    host.restore("filename_alloc");
    HostFilenameHandle block = host.table()->filename->alloc();
    EXPECT_NE(block, nullptr);
    host.table()->filename->free(block);
}

int32_t TM_CDECL replacement_count(ListDataHandle) { return 77; }

// The host's own libraries answer through the same journal, fail() and restore() as its table.
TEST(HostFailures, LibraryFunctionsFailAndRestoreByNameLikeTheTablesOperations) {
    tmhost::StandInHost host;
    ListLibraryTable& list = host.list_library().table();
    tmhost::Container& c = host.containers().make_container();
    tmhost::LightListData data;
    int light = 0;
    data.scene_objects.push_back(&light);
    c.set_custom(1, TM_LIBRARY_LIST, &data);
    ListDataHandle lent = tonemix_test::as<ListDataHandle>(&data);

    ASSERT_TRUE(host.fail("listlib_build"));
    ASSERT_TRUE(host.fail("listlib_count"));
    EXPECT_EQ(list.listlib_count(lent), 0);
    EXPECT_EQ(list.listlib_build(lent, 0, 0), nullptr);
    ASSERT_EQ(host.journal().count("listlib_build"), 1u);
    EXPECT_TRUE(host.journal().entries()[1].failed_on_request);
    EXPECT_EQ(host.list_library().live_count(), 0u) << "nothing was built";

    host.restore("listlib_build");
    ListHandle built = list.listlib_build(lent, 0, 0);
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(list.listlib_count(lent), 0) << "still failing";
    ASSERT_TRUE(host.fail("listlib_contains"));
    EXPECT_EQ(list.listlib_contains(built, tonemix_test::as<SceneObjectHandle>(&light)), 0);
    host.restore();
    EXPECT_EQ(list.listlib_contains(built, tonemix_test::as<SceneObjectHandle>(&light)), 1);
    EXPECT_EQ(list.listlib_count(lent), 1);

    list.listlib_count = replacement_count;
    EXPECT_TRUE(host.is_replaced("listlib_count"));
    EXPECT_EQ(list.listlib_count(lent), 77);
    EXPECT_TRUE(host.restore("listlib_count"));
    EXPECT_FALSE(host.is_replaced("listlib_count"));
    EXPECT_EQ(list.listlib_count(lent), 1);
    list.listlib_free(built);
    EXPECT_EQ(host.list_library().live_count(), 0u);

    // A failed id lookup answers null, which a module must take as no parameter.
    DescriptionLibraryTable& description = host.description_library().table();
    DescriptionIdHandle id = host.description_library().description_id(1013);
    ASSERT_TRUE(host.fail("desclib_get_id"));
    EXPECT_EQ(description.desclib_get_id(id, 0), nullptr);
    ASSERT_TRUE(host.fail("desclib_register"));
    EXPECT_EQ(description.desclib_register(1007539, nullptr, 0), 0);
    host.restore();
    EXPECT_EQ(description.desclib_get_id(id, 0)[0], 1013);
    EXPECT_TRUE(host.misuses().messages().empty()) << host.misuses().messages().front();
}

TEST(HostActivation, TheNewestHostIsActiveUntilAnotherIsActivated) {
    tmhost::StandInHost outer;
    EXPECT_EQ(tmhost::StandInHost::active(), &outer);
    {
        tmhost::StandInHost inner;
        EXPECT_EQ(tmhost::StandInHost::active(), &inner);
        HostFilenameHandle block =
            outer.table()->filename->alloc();  // outer's table, inner's state
        EXPECT_EQ(inner.filenames().block_count(), 1u);
        inner.filenames().free(block);
        outer.activate();
        EXPECT_EQ(tmhost::StandInHost::active(), &outer);
        inner.activate();
    }
    EXPECT_EQ(outer.journal().size(), 0u);
    // The active host ended: no other takes its place until asked to.
    EXPECT_EQ(tmhost::StandInHost::active(), nullptr);
    outer.activate();
    EXPECT_EQ(tmhost::StandInHost::active(), &outer);
}

TEST(HostActivation, AHostThatEndsLeavesNoneActiveAndAnotherEndingChangesNothing) {
    auto first = std::make_unique<tmhost::StandInHost>();
    auto second = std::make_unique<tmhost::StandInHost>();
    first->activate();
    second.reset();  // not the active one: the active host stays
    EXPECT_EQ(tmhost::StandInHost::active(), first.get());
    first.reset();
    EXPECT_EQ(tmhost::StandInHost::active(), nullptr);
}

TEST(HostActivation, CallsWithNoActiveHostAnswerFailureValues) {
    HostFilenameTable kept;
    {
        tmhost::StandInHost host;
        kept = *host.table()->filename;  // the functions outlive the host; its state does not
    }
    ASSERT_EQ(tmhost::StandInHost::active(), nullptr);
    const uint32_t before = tmhost::StandInHost::calls_without_host();
    EXPECT_EQ(kept.alloc(), nullptr);
    EXPECT_EQ(tmhost::StandInHost::calls_without_host(), before + 1);
}

TEST(HostSlots, ASlotTheHostDoesNotServeIsReportedNotJumpedTo) {
    tmhost::StandInHost host;
    typedef int32_t(TM_CDECL * AnySlot)(int32_t);
    AnySlot slot;
    const unsigned char* bytes = host.tables().bytes(tmhost::SubTable::string);
    std::memcpy(&slot, bytes + 0x00, sizeof slot);
    EXPECT_EQ(slot(42), 0);
    ASSERT_EQ(host.misuses().count(), 1u);
    EXPECT_EQ(host.misuses().messages()[0],
              "the module called a host slot that the host does not serve");
}

TEST(HostJournal, RenderOperationsWithoutARendererAreNeutral) {
    tmhost::StandInHost host;
    EXPECT_EQ(host.table()->render->light_count(nullptr), 0);
    EXPECT_EQ(host.table()->render->get_light(nullptr, 0), nullptr);
    EXPECT_EQ(host.misuses().messages()[0], "render_light_count: no renderer attached to the host");
}

}  // namespace
