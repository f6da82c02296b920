// The host's list library: light lists lent through a container, render-time handles built from
// them, and every handle accounted for.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "test_handles.h"

#include "host/core/stand_in_host.h"
#include "host_test_support.h"

namespace {

ListDataHandle data(tmhost::LightListData* list) { return tonemix_test::as<ListDataHandle>(list); }
SceneObjectHandle scene(int* object) { return tonemix_test::as<SceneObjectHandle>(object); }

class HostListLibrary : public ::testing::Test {
protected:
    HostListLibrary() {
        list.scene_objects = {&objects[2], &objects[0], &objects[2]};
        container.set_custom(2002, TM_LIBRARY_LIST, &list);
    }
    ~HostListLibrary() override { host.containers().destroy(container); }

    tmhost::StandInHost host;
    const ListLibraryTable* table =
        tonemix_test::library_table_found<ListLibraryTable>(host, TM_LIBRARY_LIST);
    int objects[4] = {};
    tmhost::LightListData list;
    tmhost::Container& container = host.containers().make_container();
};

TEST_F(HostListLibrary, InstalledFromTheStartWithItsBoundAndFunctions) {
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table, &host.list_library().table());
    EXPECT_EQ(table->header.bound, 176);
    EXPECT_NE(table->listlib_count, nullptr);
    EXPECT_NE(table->listlib_build, nullptr);
    EXPECT_NE(table->listlib_contains, nullptr);
    EXPECT_NE(table->listlib_free, nullptr);
}

TEST_F(HostListLibrary, BuildCopiesTheSetAndContainsAnswersFromTheCopy) {
    EXPECT_EQ(table->listlib_count(data(&list)), 3);
    ListHandle handle = table->listlib_build(data(&list), 0x5a, 0);
    ASSERT_NE(handle, nullptr);
    list.scene_objects.clear();  // the handle keeps what the list held when it was built

    EXPECT_EQ(table->listlib_contains(handle, scene(&objects[0])), 1);
    EXPECT_EQ(table->listlib_contains(handle, scene(&objects[2])), 1);
    EXPECT_EQ(table->listlib_contains(handle, scene(&objects[1])), 0);
    EXPECT_EQ(table->listlib_contains(handle, nullptr), 0);
    EXPECT_EQ(table->listlib_count(data(&list)), 0);

    table->listlib_free(handle);
    EXPECT_TRUE(host.journal().contains_in_order(
        {"listlib_count", "listlib_build", "listlib_contains", "listlib_free"}));
    EXPECT_EQ(host.journal().entries()[host.journal().find("listlib_build")].words[1], 0x5au);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(HostListLibrary, NullDataIsNoListAndForeignDataIsReported) {
    EXPECT_EQ(table->listlib_count(nullptr), 0);
    EXPECT_EQ(table->listlib_build(nullptr, 0, 0), nullptr);
    EXPECT_TRUE(host.misuses().messages().empty());

    tmhost::LightListData not_lent;
    not_lent.scene_objects = {&objects[1]};
    EXPECT_EQ(table->listlib_count(data(&not_lent)), 0);
    EXPECT_EQ(table->listlib_build(data(&not_lent), 0, 0), nullptr);
    // Lent, but as custom data of another type.
    container.set_custom(2002, TM_LIBRARY_LIST + 1, &list);
    EXPECT_EQ(table->listlib_count(data(&list)), 0);
    EXPECT_EQ(host.misuses().messages(),
              (std::vector<std::string>{"listlib_count: not list data lent by a host container",
                                        "listlib_build: not list data lent by a host container",
                                        "listlib_count: not list data lent by a host container"}));
    EXPECT_EQ(host.list_library().live_count(), 0u);
}

TEST_F(HostListLibrary, BadHandlesAreReportedAndNeverFollowed) {
    ListHandle handle = table->listlib_build(data(&list), 0, 0);
    table->listlib_free(handle);
    table->listlib_free(handle);
    int not_a_handle = 0;
    table->listlib_free(tonemix_test::as<ListHandle>(&not_a_handle));
    table->listlib_free(nullptr);
    EXPECT_EQ(table->listlib_contains(handle, scene(&objects[0])), 0);
    EXPECT_EQ(
        table->listlib_contains(tonemix_test::as<ListHandle>(&not_a_handle), scene(&objects[0])),
        0);
    EXPECT_EQ(table->listlib_contains(nullptr, scene(&objects[0])), 0);
    table->listlib_free(table->listlib_build(data(&list), 0, 1));
    EXPECT_EQ(
        host.misuses().messages(),
        (std::vector<std::string>{
            "listlib_free: handle was already freed", "listlib_free: not a list handle of the host",
            "listlib_free: null handle", "listlib_contains: not a live list handle",
            "listlib_contains: not a live list handle", "listlib_contains: null handle",
            "listlib_build: third argument is not 0"}));
}

// contains remembers the last handle each thread asked about; a free must end that at once, for
// the asking thread and for the others.
TEST_F(HostListLibrary, AFreedHandleIsNoLongerAnsweredForInAnyThread) {
    ListHandle handle = table->listlib_build(data(&list), 0, 0);
    ASSERT_EQ(table->listlib_contains(handle, scene(&objects[0])), 1);
    int32_t other_thread_before = -1;
    std::thread([&] {
        other_thread_before = table->listlib_contains(handle, scene(&objects[2]));
    }).join();
    EXPECT_EQ(other_thread_before, 1);

    table->listlib_free(handle);
    EXPECT_EQ(table->listlib_contains(handle, scene(&objects[0])), 0);
    int32_t other_thread_after = -1;
    std::thread([&] {
        other_thread_after = table->listlib_contains(handle, scene(&objects[2]));
    }).join();
    EXPECT_EQ(other_thread_after, 0);
    EXPECT_EQ(host.misuses().messages(),
              (std::vector<std::string>{"listlib_contains: not a live list handle",
                                        "listlib_contains: not a live list handle"}));

    // A new handle answers from its own list, whatever the threads remembered before.
    list.scene_objects = {&objects[1]};
    ListHandle rebuilt = table->listlib_build(data(&list), 0, 0);
    EXPECT_EQ(table->listlib_contains(rebuilt, scene(&objects[1])), 1);
    EXPECT_EQ(table->listlib_contains(rebuilt, scene(&objects[0])), 0);
    table->listlib_free(rebuilt);
    EXPECT_EQ(host.list_library().live_count(), 0u);
}

TEST_F(HostListLibrary, LiveHandlesAreLeftBehindOldestFirst) {
    ListHandle first = table->listlib_build(data(&list), 0, 0);
    list.scene_objects = {&objects[3]};
    ListHandle second = table->listlib_build(data(&list), 0, 0);
    EXPECT_EQ(host.list_library().live_count(), 2u);
    tmhost::LeftBehind left = host.left_behind();
    EXPECT_FALSE(left.empty());
    EXPECT_EQ(left.lines(),
              (std::vector<std::string>{"light list handle never freed, holding 2 scene objects",
                                        "light list handle never freed, holding 1 scene object"}));
    table->listlib_free(first);
    table->listlib_free(second);
    EXPECT_TRUE(host.left_behind().empty());
}

TEST_F(HostListLibrary, ContainsFromManyThreadsWithTheJournalOff) {
    ListHandle handle = table->listlib_build(data(&list), 0, 0);
    host.journal().clear();
    host.journal().set_enabled(false);
    std::atomic<long> listed{0};
    std::atomic<long> unlisted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                SceneObjectHandle object = scene(&objects[i % 4]);
                (table->listlib_contains(handle, object) != 0 ? listed : unlisted) += 1;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    host.journal().set_enabled(true);
    EXPECT_EQ(listed.load(), 40000);  // objects 0 and 2 of every four
    EXPECT_EQ(unlisted.load(), 40000);
    EXPECT_EQ(host.journal().size(), 0u);
    table->listlib_free(handle);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

}  // namespace
