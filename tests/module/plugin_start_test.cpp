// The plug-in's start: the banner, the description, and the record the host receives.
#include <cstring>

#include "bound_host_test.h"
#include "c4d_resource.h"
#include "fake_libraries.h"
#include "module_state.h"
#include "plugin_hooks.h"
#include "shader_registration.h"
#include "tonemix_shader.h"

namespace {

using tonemix_test::FakeDescriptionLibrary;

class PluginStartTest : public tonemix_test::BoundHostTest {
protected:
    void SetUp() override {
        BoundHostTest::SetUp();
        host.libraries().install(TM_LIBRARY_DESCRIPTION, descriptions.header());
        host.journal().clear();
    }
    void TearDown() override {
        plugin_resource.release();
        std::memset(module_path, 0, sizeof module_path);
        BoundHostTest::TearDown();
    }
    FakeDescriptionLibrary descriptions;
};

TEST_F(PluginStartTest, BannerOnceThenDescriptionThenRecord) {
    EXPECT_EQ(plugin_start(), 1);
    EXPECT_EQ(host.console().lines(), (std::vector<std::string>{"- Tonemix 2.03"}));
    EXPECT_TRUE(host.journal().contains_in_order(
        {"general_print", "general_find_library", "general_register_plugin"}))
        << host.journal().to_text();
    EXPECT_EQ(descriptions.registered_ids, (std::vector<int32_t>{1007539}));

    const tmhost::PluginRegistration* registration = host.registrations().find(1007539);
    ASSERT_NE(registration, nullptr);
    EXPECT_EQ(registration->api, 8200);
    EXPECT_EQ(registration->type, 2);
    EXPECT_EQ(registration->name, "Tonemix");
    EXPECT_EQ(registration->record.size(), 288u);
    ShaderRegistration record;
    ASSERT_TRUE(registration->shader_record(record));
    EXPECT_EQ(record.create, &create_shader);
    EXPECT_EQ(record.free_node, &free_node);
}

// The banner's strings are ended before the shader is registered: the joined string that was
// printed, then the version, then the prefix.
TEST_F(PluginStartTest, BannerStringsAreFreedInOrderBeforeTheRegistration) {
    EXPECT_EQ(plugin_start(), 1);
    const tmhost::Journal& journal = host.journal();
    long print = journal.find("general_print");
    long registration = journal.find("general_find_library");
    ASSERT_GE(print, 0) << journal.to_text();
    ASSERT_GT(registration, print) << journal.to_text();
    std::vector<const tmhost::JournalEntry*> freed;
    for (long i = print; i < registration; ++i) {
        const tmhost::JournalEntry& entry = journal.entries()[static_cast<std::size_t>(i)];
        if (entry.operation == "string_free") freed.push_back(&entry);
    }
    ASSERT_EQ(freed.size(), 3u) << journal.to_text();
    EXPECT_EQ(freed[0]->words[0], journal.entries()[static_cast<std::size_t>(print)].words[0])
        << "the printed string first";
    EXPECT_EQ(freed[0]->text, "- Tonemix 2.03");
    EXPECT_EQ(freed[1]->text, "2.03");
    EXPECT_EQ(freed[2]->text, "- Tonemix ");
    EXPECT_EQ(journal.count("string_free"), journal.count("string_init"))
        << "every string the start made is ended";
}

TEST_F(PluginStartTest, WithoutTheResourceTheDescriptionGetsHandleZero) {
    EXPECT_EQ(plugin_start(), 1);
    EXPECT_EQ(descriptions.registered_handles, (std::vector<int32_t>{0}));
}

TEST_F(PluginStartTest, WithTheResourceTheDescriptionGetsItsHandle) {
    std::string path = tonemix_test::module_file();
    std::memcpy(module_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, nullptr), 1);
    EXPECT_EQ(plugin_start(), 1);
    ASSERT_EQ(descriptions.registered_handles.size(), 1u);
    EXPECT_EQ(descriptions.registered_handles[0], plugin_resource.handle());
    EXPECT_NE(plugin_resource.handle(), 0);
}

TEST_F(PluginStartTest, MissingDescriptionLibraryRegistersNothing) {
    host.libraries().remove(TM_LIBRARY_DESCRIPTION);
    EXPECT_EQ(plugin_start(), 0);
    EXPECT_EQ(host.console().lines(), (std::vector<std::string>{"- Tonemix 2.03"}))
        << "the banner comes before the registration is attempted";
    EXPECT_EQ(host.journal().count("general_register_plugin"), 0u);
}

TEST_F(PluginStartTest, RefusedOrUnreachableDescriptionRegistersNothing) {
    descriptions.register_result = 0;
    EXPECT_EQ(plugin_start(), 0);
    descriptions.register_result = 1;
    descriptions.table.desclib_register = nullptr;
    EXPECT_EQ(plugin_start(), 0);
    descriptions.table.header.bound = 4;
    EXPECT_EQ(plugin_start(), 0);
    EXPECT_EQ(host.journal().count("general_register_plugin"), 0u);
    EXPECT_TRUE(host.registrations().list().empty());
}

TEST_F(PluginStartTest, HostRefusalIsPassedOn) {
    host.fail("general_register_plugin");
    EXPECT_EQ(plugin_start(), 0);
}

TEST_F(PluginStartTest, EmptyDescriptionNameSkipsTheDescription) {
    HostString name("Tonemix");
    HostString empty("");
    EXPECT_EQ(register_shader_plugin(1007539, name, 0, create_shader, empty, 0, 0), 1);
    EXPECT_TRUE(descriptions.registered_ids.empty());
}

TEST_F(PluginStartTest, ADescriptionKeepsAResourceHandleOfItsOwn) {
    // Handle 0 stands for the module's own resource, loaded or not; any other is passed on as
    // it is, for a description from another resource.
    HostString name("Tonemix");
    EXPECT_EQ(register_description(1007539, name, 77), 1);
    EXPECT_EQ(register_description(1007540, name, 0), 1);
    EXPECT_EQ(descriptions.registered_ids, (std::vector<int32_t>{1007539, 1007540}));
    EXPECT_EQ(descriptions.registered_handles,
              (std::vector<int32_t>{77, plugin_resource.handle()}));
}

TEST_F(PluginStartTest, PluginMessages) {
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_ZERO, nullptr), 1);
    EXPECT_EQ(plugin_message(2, nullptr), 0);
    EXPECT_EQ(host.journal().size(), 0u);
    std::string path = "/no/such/Tonemix.cdl";
    std::memcpy(module_path, path.c_str(), path.size() + 1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, nullptr), 0);
}

}  // namespace
