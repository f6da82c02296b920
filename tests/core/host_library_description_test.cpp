// The host's description library as the module finds it: by id through general_find_library,
// descriptions taken from a loaded resource, and description ids answered level by level.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "test_handles.h"

#include "host/core/stand_in_host.h"
#include "host_test_support.h"

namespace {

class HostDescriptionLibrary : public ::testing::Test {
protected:
    int32_t load_module_resource() {
        HostFilenameStorage name;
        host.filenames().start(&name, tonemix_test::resource_folder());
        const int32_t handle = host.table()->resource->load(&name);
        host.filenames().destroy(&name);
        return handle;
    }
    int32_t register_named(int32_t plugin_id, const std::string& name, int32_t handle) {
        HostStringStorage text;
        host.strings().start(&text, name);
        const int32_t result = table->desclib_register(plugin_id, &text, handle);
        host.table()->string->free(&text);
        return result;
    }

    tmhost::StandInHost host;
    const DescriptionLibraryTable* table =
        tonemix_test::library_table_found<DescriptionLibraryTable>(host, TM_LIBRARY_DESCRIPTION);
};

TEST_F(HostDescriptionLibrary, InstalledFromTheStartWithItsBoundAndFunctions) {
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table, &host.description_library().table());
    EXPECT_EQ(table->header.bound, 112);
    EXPECT_NE(table->desclib_register, nullptr);
    EXPECT_NE(table->desclib_get_id, nullptr);

    host.libraries().remove(TM_LIBRARY_DESCRIPTION);
    EXPECT_EQ(host.table()->general->find_library(TM_LIBRARY_DESCRIPTION, TM_LIBRARY_FIND_SIZE),
              nullptr);
    host.install_own_libraries();
    EXPECT_EQ(
        tonemix_test::library_table_found<DescriptionLibraryTable>(host, TM_LIBRARY_DESCRIPTION),
        table);
}

TEST_F(HostDescriptionLibrary, RegistersACopyOfTheResourcesDescription) {
    const int32_t handle = load_module_resource();
    ASSERT_NE(handle, 0) << host.resources().last_error();
    host.journal().clear();

    EXPECT_EQ(register_named(1007539, "Xtonemix", handle), 1);
    const long entry = host.journal().find("desclib_register");
    ASSERT_GE(entry, 0);
    EXPECT_EQ(host.journal().entries()[entry].text, "Xtonemix");
    EXPECT_EQ(host.journal().entries()[entry].words[0], 1007539u);
    EXPECT_EQ(host.journal().entries()[entry].words[2], static_cast<uint32_t>(handle));

    // The copy outlives the resource: the module frees it at its end, the host keeps showing it.
    host.table()->resource->free(handle);
    const tmhost::Description* description = host.description_library().registered(1007539);
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->name(), "Xtonemix");
    EXPECT_EQ(description->parameters().size(), 11u);
    EXPECT_EQ(host.description_library().registered(1007540), nullptr);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(HostDescriptionLibrary, RefusesHandleZeroUnknownHandlesAndMissingNames) {
    const int32_t handle = load_module_resource();
    ASSERT_NE(handle, 0) << host.resources().last_error();

    EXPECT_EQ(register_named(1, "Xtonemix", 0), 0);  // no resource: the module's own case
    EXPECT_EQ(register_named(2, "Missing", handle), 0);
    EXPECT_TRUE(host.misuses().messages().empty());

    EXPECT_EQ(register_named(3, "Xtonemix", handle + 40), 0);
    host.table()->resource->free(handle);
    EXPECT_EQ(register_named(4, "Xtonemix", handle), 0);  // freed since
    HostStringStorage never_started;
    std::memset(&never_started, 0, sizeof never_started);
    EXPECT_EQ(table->desclib_register(5, &never_started, handle), 0);

    for (int32_t id = 1; id <= 5; ++id) {
        EXPECT_EQ(host.description_library().registered(id), nullptr);
    }
    EXPECT_EQ(
        host.misuses().messages(),
        (std::vector<std::string>{
            "desclib_register: resource handle " + std::to_string(handle + 40) + " is not loaded",
            "desclib_register: resource handle " + std::to_string(handle) + " is not loaded",
            "desclib_register: the string was never started"}));
}

TEST_F(HostDescriptionLibrary, IdsAreStableAndAnswerTheirParameter) {
    tmhost::DescriptionLibrary& library = host.description_library();
    DescriptionIdHandle jitter = library.description_id(1013);
    DescriptionIdHandle mode = library.description_id(1012);
    EXPECT_NE(jitter, mode);
    EXPECT_EQ(library.description_id(1013), jitter);

    const int32_t* record = table->desclib_get_id(jitter, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record[0], 1013);
    EXPECT_EQ(record[1], 0);
    EXPECT_EQ(record[2], 0);
    EXPECT_EQ(table->desclib_get_id(mode, 0)[0], 1012);
    EXPECT_EQ(table->desclib_get_id(jitter, 0), record);
    EXPECT_EQ(host.journal().count("desclib_get_id"), 3u);
    EXPECT_TRUE(host.misuses().messages().empty());
}

TEST_F(HostDescriptionLibrary, ForeignIdsAndMissingLevelsAnswerZerosAndAreReported) {
    DescriptionIdHandle id = host.description_library().description_id(1008);
    int32_t foreign[3] = {1008, 7, 7};
    for (const int32_t* record :
         {table->desclib_get_id(tonemix_test::as<DescriptionIdHandle>(foreign), 0),
          table->desclib_get_id(nullptr, 0), table->desclib_get_id(id, 1),
          table->desclib_get_id(id, -1)}) {
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record[0], 0);
        EXPECT_EQ(record[1], 0);
        EXPECT_EQ(record[2], 0);
    }
    EXPECT_EQ(host.misuses().messages(),
              (std::vector<std::string>{"desclib_get_id: not a description id of the host",
                                        "desclib_get_id: null description id",
                                        "desclib_get_id: level 1 of a one-level id",
                                        "desclib_get_id: level -1 of a one-level id"}));
}

TEST_F(HostDescriptionLibrary, OverwrittenSlotsComeBackWithRestoreTable) {
    DescriptionLibraryTable& own = host.description_library().table();
    own.desclib_register = nullptr;
    own.header.bound = 8;
    host.description_library().restore_table();
    EXPECT_EQ(own.header.bound, 112);
    ASSERT_NE(own.desclib_register, nullptr);
    EXPECT_EQ(register_named(1, "Xtonemix", 0), 0);
    EXPECT_EQ(host.journal().count("desclib_register"), 1u);
}

}  // namespace
