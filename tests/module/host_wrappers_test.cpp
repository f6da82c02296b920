// The module's wrappers over host values: what each one asks of the host, and what it answers.
#include <string>

#include "bound_host_test.h"
#include "host_container.h"
#include "host_string.h"
#include "memory.h"
#include "test_handles.h"

namespace {

using tonemix_test::BoundHostTest;

class ContainerWrapperTest : public BoundHostTest {
protected:
    tmhost::Container& raw = host.containers().make_container();
    HostContainer data{tonemix_test::handle(raw)};
};

TEST_F(ContainerWrapperTest, AbsentIdCostsOneHostCallAndGivesTheDefault) {
    host.journal().clear();
    EXPECT_EQ(data.get_long(1008, 7), 7);
    EXPECT_EQ(data.get_bool(1011, 1), 1);
    EXPECT_EQ(data.get_real(1009, 2.5f), 2.5f);
    EXPECT_EQ(host.journal().operations(),
              (std::vector<std::string>{"container_find_index", "container_find_index",
                                        "container_find_index"}));
}

TEST_F(ContainerWrapperTest, PresentIdIsReadWithTheTypedGetter) {
    raw.set_long(1008, 12);
    raw.set_real(1009, 0.25f);
    raw.set_bool(1011, 0);
    host.journal().clear();
    EXPECT_EQ(data.get_long(1008, 7), 12);
    EXPECT_EQ(data.get_real(1009, 2.5f), 0.25f);
    EXPECT_EQ(data.get_bool(1011, 1), 0);
    EXPECT_EQ(host.journal().operations(),
              (std::vector<std::string>{"container_find_index", "container_get_long",
                                        "container_find_index", "container_get_real",
                                        "container_find_index", "container_get_bool"}));
}

int32_t TM_CDECL find_index_minus_two(HostContainerHandle, int32_t) { return -2; }

TEST_F(ContainerWrapperTest, OnlyMinusOneMeansAbsent) {
    host.tables().container.find_index = find_index_minus_two;
    raw.set_long(1008, 12);
    EXPECT_EQ(data.get_long(1008, 7), 12);
    EXPECT_EQ(host.journal().count("container_get_long"), 1u);
    host.restore();
}

TEST_F(ContainerWrapperTest, CustomDataOfAnAbsentIdIsAskedForANullElement) {
    host.journal().clear();
    EXPECT_EQ(data.get_custom_data(2002, TM_LIBRARY_LIST), nullptr);
    long get = host.journal().find("customdata_get");
    ASSERT_GE(get, 0);
    EXPECT_EQ(host.journal().entries()[get].words[0], 0u);
}

TEST_F(ContainerWrapperTest, SettersWriteTypedValues) {
    data.set_long(2000, -5);
    data.set_real(1010, 1.0f);
    data.set_bool(1014, 1);
    EXPECT_EQ(raw.dump(), (std::vector<std::string>{"2000 long -5", "1010 real 1", "1014 bool 1"}));
}

TEST_F(BoundHostTest, AllocationOfZeroAsksForOneByte) {
    void* p = mem_alloc(0, 24, "tag");
    ASSERT_NE(p, nullptr);
    long alloc = host.journal().find("general_alloc");
    ASSERT_GE(alloc, 0);
    EXPECT_EQ(host.journal().entries()[alloc].words[0], 1u);
    EXPECT_EQ(host.journal().entries()[alloc].words[1], 24u);
    mem_free(p);

    void* q = mem_alloc(5, 1, "tag");
    EXPECT_EQ(host.journal().entries()[host.journal().find("general_alloc", alloc + 1)].words[0],
              5u);
    mem_free(q);
    host.journal().clear();
    mem_free(nullptr);
    EXPECT_EQ(host.journal().size(), 0u);
}

TEST_F(BoundHostTest, FailedAllocationGivesNull) {
    host.fail("general_alloc");
    EXPECT_EQ(mem_alloc(16, 1, "tag"), nullptr);
}

TEST_F(BoundHostTest, ConcatJoinsWithoutTouchingItsOperands) {
    HostString prefix("- Tonemix ");
    HostString version("2.03");
    {
        HostString joined = concat(prefix, version);
        EXPECT_EQ(*host.strings().text(joined.raw()), "- Tonemix 2.03");
        EXPECT_EQ(joined.length(), 14);
    }
    EXPECT_EQ(*host.strings().text(prefix.raw()), "- Tonemix ");
    EXPECT_EQ(*host.strings().text(version.raw()), "2.03");
    // Two operands live; the temporary and the result are ended.
    EXPECT_EQ(host.strings().live_count(), 2u);
}

TEST_F(BoundHostTest, ConcatOfTwoEmptyStringsIsEmpty) {
    HostString a("");
    HostString b("");
    HostString joined = concat(a, b);
    EXPECT_EQ(*host.strings().text(joined.raw()), "");
    EXPECT_EQ(joined.length(), 0);
}

TEST_F(BoundHostTest, ConcatMakesTwoCopiesAndEndsTheTemporary) {
    HostString a("ab");
    HostString b("cd");
    host.journal().clear();
    { HostString joined = concat(a, b); }
    EXPECT_EQ(
        host.journal().operations(),
        (std::vector<std::string>{"string_init", "string_copy", "string_length", "string_insert",
                                  "string_init", "string_copy", "string_free", "string_free"}));
}

TEST_F(BoundHostTest, ConsolePrintReachesTheHostConsole) {
    HostString line("hello");
    EXPECT_NE(console_print(line), 0);
    ASSERT_FALSE(host.console().lines().empty());
    EXPECT_EQ(host.console().lines().back(), "hello");
}

}  // namespace
