// general: tracked memory, the console, registrations copied during the call, host libraries.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"

namespace {

class HostGeneralOps : public ::testing::Test {
protected:
    tmhost::StandInHost host;
    HostGeneral& ops = *host.table()->general;
};

TEST_F(HostGeneralOps, AllocationsCarryTheirTagAndLeaksNameIt) {
    char tag[] = "plugins/tonemix/source/shader/Tonemix Shader";
    void* node = ops.alloc(64, 24, tag);
    void* other = ops.alloc(0, 7, "zero");
    ASSERT_NE(node, nullptr);
    ASSERT_NE(other, nullptr);
    std::strcpy(tag, "overwritten");  // the host kept its own copy of the tag
    ops.free(other);

    tmhost::LeftBehind left = host.left_behind();
    ASSERT_EQ(left.allocations.size(), 1u);
    EXPECT_EQ(left.allocations[0], "plugins/tonemix/source/shader/Tonemix Shader:24, 64 bytes");
    ops.free(node);
    EXPECT_TRUE(host.left_behind().empty());
}

TEST_F(HostGeneralOps, BadFreesAreMisusesNotCrashes) {
    void* p = ops.alloc(8, 1, "t");
    ops.free(p);
    ops.free(p);
    int on_stack = 0;
    ops.free(&on_stack);
    ASSERT_EQ(host.misuses().count(), 2u);
    EXPECT_EQ(host.misuses().messages()[0],
              "general_free: block already given back (t:1, 8 bytes)");
    EXPECT_EQ(host.misuses().messages()[1], "general_free: pointer not allocated by the host");
    EXPECT_EQ(ops.alloc(-1, 1, "t"), nullptr);
    EXPECT_EQ(host.memory().live_count(), 0u);
}

TEST_F(HostGeneralOps, PrintAppendsOneConsoleLine) {
    HostStringStorage s;
    host.strings().start(&s, "- Tonemix 2.03");
    EXPECT_NE(ops.print(&s), 0);
    host.table()->string->free(&s);
    EXPECT_EQ(ops.print(&s), 0);  // ended: nothing printed
    ASSERT_EQ(host.console().lines().size(), 1u);
    EXPECT_EQ(host.console().lines()[0], "- Tonemix 2.03");
}

TEST_F(HostGeneralOps, RegistrationCopiesNameAndRecordDuringTheCall) {
    HostStringStorage name;
    host.strings().start(&name, "Tonemix");
    ShaderRegistration record;
    std::memset(&record, 0, sizeof record);
    record.info = 5;
    EXPECT_EQ(ops.register_plugin(TM_REGISTRATION_API, TM_PLUGIN_TYPE_SHADER, 1007539, &name,
                                  &record, sizeof record),
              1);
    record.info = 99;  // the module's record was temporary
    host.table()->string->free(&name);

    const tmhost::PluginRegistration* kept = host.registrations().find(1007539);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->name, "Tonemix");
    EXPECT_EQ(kept->api, TM_REGISTRATION_API);
    EXPECT_EQ(kept->type, TM_PLUGIN_TYPE_SHADER);
    ShaderRegistration copy;
    ASSERT_TRUE(kept->shader_record(copy));
    EXPECT_EQ(copy.info, 5);
}

TEST_F(HostGeneralOps, RegistrationWithABadRecordOrNameIsRefused) {
    HostStringStorage name;
    host.strings().start(&name, "X");
    EXPECT_EQ(ops.register_plugin(TM_REGISTRATION_API, 2, 1, &name, nullptr, 288), 0);
    EXPECT_EQ(ops.register_plugin(TM_REGISTRATION_API, 2, 1, &name, &name, -4), 0);
    host.table()->string->free(&name);
    EXPECT_EQ(ops.register_plugin(TM_REGISTRATION_API, 2, 1, &name, nullptr, 0), 0);
    EXPECT_TRUE(host.registrations().list().empty());
    EXPECT_EQ(host.misuses().count(), 3u);
}

TEST_F(HostGeneralOps, LibrariesAreFoundOnlyOnceInstalled) {
    // The host's own libraries are there from the start; this test installs a table of its own.
    host.libraries().remove(TM_LIBRARY_DESCRIPTION);
    host.libraries().remove(TM_LIBRARY_LIST);
    EXPECT_EQ(ops.find_library(TM_LIBRARY_DESCRIPTION, TM_LIBRARY_FIND_SIZE), nullptr);

    DescriptionLibraryTable table;
    std::memset(&table, 0, sizeof table);
    table.header.bound = TM_DESCLIB_GET_ID_OFFSET;
    host.libraries().install(TM_LIBRARY_DESCRIPTION, &table.header);
    LibraryHandle library = ops.find_library(TM_LIBRARY_DESCRIPTION, TM_LIBRARY_FIND_SIZE);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(ops.find_library(TM_LIBRARY_LIST, TM_LIBRARY_FIND_SIZE), nullptr);

    int marker = 0;
    void* out1 = &marker;
    void* out2 = &marker;
    void* out3 = nullptr;
    EXPECT_NE(ops.library_table(library, &out1, &out2, &out3), 0);
    EXPECT_EQ(out3, &table.header);
    EXPECT_EQ(out1, nullptr);
    EXPECT_EQ(out2, nullptr);

    int not_a_library = 0;
    out3 = nullptr;
    EXPECT_EQ(
        ops.library_table(reinterpret_cast<LibraryHandle>(&not_a_library), &out1, &out2, &out3), 0);
    EXPECT_EQ(out3, nullptr);
    host.libraries().remove(TM_LIBRARY_DESCRIPTION);
    EXPECT_EQ(ops.library_table(library, &out1, &out2, &out3), 0);
}

}  // namespace
