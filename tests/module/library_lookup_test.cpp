// Host libraries found by id: the bound check, the cache, and the retries of failed lookups.
#include "library_lookup.h"
#include "bound_host_test.h"
#include "fake_libraries.h"

namespace {

class LibraryLookupTest : public tonemix_test::BoundHostTest {
protected:
    void SetUp() override {
        BoundHostTest::SetUp();
        library.table.header.bound = 100;
        host.libraries().install(TM_LIBRARY_DESCRIPTION, library.header());
        host.journal().clear();
    }
    tonemix_test::FakeDescriptionLibrary library;
    LibraryTable* cache = nullptr;
};

TEST_F(LibraryLookupTest, OffsetEqualToTheBoundIsServed) {
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 100, &cache), library.header());
    EXPECT_EQ(cache, library.header());
    long find = host.journal().find("general_find_library");
    ASSERT_GE(find, 0);
    EXPECT_EQ(host.journal().entries()[find].words[0],
              static_cast<uint32_t>(TM_LIBRARY_DESCRIPTION));
    EXPECT_EQ(host.journal().entries()[find].words[1], 28u);
}

TEST_F(LibraryLookupTest, OffsetPastTheBoundIsRefusedButTheTableIsCached) {
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 101, &cache), nullptr);
    EXPECT_EQ(cache, library.header());
    host.journal().clear();
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 8, &cache), library.header());
    EXPECT_EQ(host.journal().size(), 0u) << "a cached table costs no host call";
}

TEST_F(LibraryLookupTest, NegativeBoundServesNothing) {
    library.table.header.bound = -1;
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 0, &cache), nullptr);
    EXPECT_EQ(cache, library.header());
}

TEST_F(LibraryLookupTest, MissingLibraryIsAskedForAgain) {
    host.libraries().remove(TM_LIBRARY_DESCRIPTION);
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 8, &cache), nullptr);
    EXPECT_EQ(cache, nullptr);
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 8, &cache), nullptr);
    EXPECT_EQ(host.journal().count("general_find_library"), 2u);
    host.libraries().install(TM_LIBRARY_DESCRIPTION, library.header());
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 8, &cache), library.header());
}

TEST_F(LibraryLookupTest, RefusedTableRequestCachesNothing) {
    host.fail("general_library_table");
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 8, &cache), nullptr);
    EXPECT_EQ(cache, nullptr);
    host.restore();
    EXPECT_EQ(find_library_table(TM_LIBRARY_DESCRIPTION, 8, &cache), library.header());
    EXPECT_EQ(host.journal().count("general_library_table"), 2u);
}

TEST_F(LibraryLookupTest, WithoutACacheSlotEveryCallAsks) {
    find_library_table(TM_LIBRARY_DESCRIPTION, 8, nullptr);
    find_library_table(TM_LIBRARY_DESCRIPTION, 8, nullptr);
    EXPECT_EQ(host.journal().count("general_find_library"), 2u);
}

}  // namespace
