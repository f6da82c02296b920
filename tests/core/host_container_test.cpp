// Containers, nodes and custom data as the module reads and writes them through the table.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/core/handles.h"
#include "host/core/stand_in_host.h"

namespace {

using tmhost::handle_of;

HostContainerHandle handle(tmhost::Container& c) { return handle_of<HostContainerHandle>(&c); }

class HostContainers : public ::testing::Test {
protected:
    tmhost::StandInHost host;
    HostContainerTable& ops = *host.table()->container;
};

TEST_F(HostContainers, AbsentIdsAreMinusOneAndReadAsZero) {
    tmhost::Container& c = host.containers().make_container();
    EXPECT_EQ(ops.find_index(handle(c), 1008), -1);
    EXPECT_EQ(ops.get_long(handle(c), 1008), 0);
    EXPECT_EQ(ops.get_real(handle(c), 1008), 0.0f);
    EXPECT_EQ(ops.get_data(handle(c), 1008), nullptr);
    EXPECT_TRUE(host.misuses().messages().empty());
}

TEST_F(HostContainers, ValuesKeepInsertionOrderAndTypes) {
    tmhost::Container& c = host.containers().make_container();
    EXPECT_NE(ops.set_long(handle(c), 1008, 8), 0);
    EXPECT_NE(ops.set_real(handle(c), 1009, 20.5f), 0);
    EXPECT_NE(ops.set_bool(handle(c), 1011, 1), 0);
    EXPECT_EQ(ops.find_index(handle(c), 1008), 0);
    EXPECT_EQ(ops.find_index(handle(c), 1011), 2);
    EXPECT_EQ(ops.get_real(handle(c), 1009), 20.5f);
    EXPECT_EQ(ops.get_bool(handle(c), 1008), 8);  // longs and bools read each other
    EXPECT_EQ(ops.get_long(handle(c), 1011), 1);
    EXPECT_EQ(ops.get_long(handle(c), 1009), 0);  // a real is not a long
    EXPECT_EQ(ops.get_real(handle(c), 1008), 0.0f);

    ops.set_real(handle(c), 1008, 2.0f);  // replaced in place, with the new type
    EXPECT_EQ(ops.find_index(handle(c), 1008), 0);
    EXPECT_EQ(ops.get_long(handle(c), 1008), 0);
    EXPECT_EQ(c.dump(), (std::vector<std::string>{"1008 real 2", "1009 real 20.5", "1011 bool 1"}));
}

TEST_F(HostContainers, CustomDataOnlyForItsOwnTypeAndNeverForNull) {
    tmhost::Container& c = host.containers().make_container();
    int list_data = 0;
    c.set_custom(2000, TM_LIBRARY_LIST, &list_data);
    c.set_long(2001, 1);
    HostElementHandle element = ops.get_data(handle(c), 2000);
    ASSERT_NE(element, nullptr);
    HostCustomDataTable& custom = *host.table()->customdata;
    EXPECT_EQ(custom.get(element, TM_LIBRARY_LIST), handle_of<ListDataHandle>(&list_data));
    EXPECT_EQ(custom.get(element, TM_LIBRARY_LIST + 1), nullptr);
    EXPECT_EQ(custom.get(ops.get_data(handle(c), 2001), TM_LIBRARY_LIST), nullptr);
    EXPECT_EQ(custom.get(nullptr, TM_LIBRARY_LIST), nullptr);
    EXPECT_EQ(custom.get(ops.get_data(handle(c), 2002), TM_LIBRARY_LIST), nullptr);  // absent id
    EXPECT_TRUE(host.misuses().messages().empty());
    int not_an_element = 0;
    EXPECT_EQ(custom.get(handle_of<HostElementHandle>(&not_an_element), TM_LIBRARY_LIST), nullptr);
    EXPECT_EQ(host.misuses().count(), 1u);
}

TEST_F(HostContainers, NodesHandTheirOwnContainerAndNeverNull) {
    tmhost::Node& node = host.containers().make_node();
    node.container.set_long(1008, 8);
    HostNodeTable& nodes = *host.table()->node;
    HostContainerHandle c = nodes.get_container(node.handle());
    EXPECT_EQ(c, handle(node.container));
    EXPECT_EQ(ops.get_long(c, 1008), 8);

    int not_a_node = 0;
    HostContainerHandle stray = nodes.get_container(handle_of<HostNodeHandle>(&not_a_node));
    ASSERT_NE(stray, nullptr);
    EXPECT_EQ(ops.find_index(stray, 1008), -1);
    EXPECT_EQ(host.misuses().messages().back(), "node_get_container: not a node of the host");
}

TEST_F(HostContainers, UnknownContainersAreRefusedNotDereferenced) {
    int not_a_container = 0;
    EXPECT_EQ(ops.set_long(handle_of<HostContainerHandle>(&not_a_container), 1, 1), 0);
    EXPECT_EQ(ops.find_index(handle_of<HostContainerHandle>(&not_a_container), 1), -1);
    tmhost::Container& c = host.containers().make_container();
    host.containers().destroy(c);
    EXPECT_EQ(ops.get_long(handle(c), 1), 0);
    EXPECT_EQ(host.misuses().count(), 3u);
    EXPECT_EQ(host.misuses().messages()[0], "container_set_long: not a container of the host");
}

}  // namespace
