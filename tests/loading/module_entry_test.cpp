// c4d_main on the built module file: every message with its result, the init and end counting,
// and what each message asks of the host.
#include <string>

#include "module_file_test.h"

namespace {

using tonemix_test::module_file;
using tonemix_test::ModuleFileTest;

// A word the module must never dereference: any read of it crashes the test.
void* const kPoison = reinterpret_cast<void*>(0x10);

TEST_F(ModuleFileTest, QueryAnswersTwoWhateverTheArguments) {
    EXPECT_EQ(send(TM_MESSAGE_QUERY), 2);
    EXPECT_EQ(send(TM_MESSAGE_QUERY, kPoison, kPoison, kPoison), 2);
    EXPECT_EQ(host.journal().size(), 0u);
}

TEST_F(ModuleFileTest, UnknownMessagesAnswerMinusOneAndChangeNothing) {
    for (int32_t message : {0, 5, 7, 8, 100, -1, -3}) {
        EXPECT_EQ(send(message, kPoison, kPoison, kPoison), -1) << message;
    }
    EXPECT_EQ(host.journal().size(), 0u);
    // Nothing was counted: a first init still binds.
    EXPECT_EQ(init(module_file().c_str()), 1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
}

// A careless host's messages before any accepted init: the module has no table to call, so it
// refuses what needs one, and the ends beyond the inits must not swallow the next init.
TEST_F(ModuleFileTest, MessagesBeforeInitCallNothingAndKeepTheNextInitWhole) {
    EXPECT_EQ(send(TM_MESSAGE_START), 0);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_ZERO), -1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(host.journal().size(), 0u);
    ASSERT_EQ(init(module_file().c_str()), 1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1);
    EXPECT_EQ(send(TM_MESSAGE_START), 1);
    EXPECT_NE(host.registrations().find(1007539), nullptr);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(ModuleFileTest, AnInitWithoutATableOrOfAnOldHostLeavesStartRefused) {
    EXPECT_EQ(send(TM_MESSAGE_INIT, nullptr, nullptr, const_cast<char*>(module_file().c_str())),
              -3);
    EXPECT_EQ(send(TM_MESSAGE_START), 0);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);

    host.set_version(7499);
    EXPECT_EQ(init(module_file().c_str()), -3);
    EXPECT_EQ(send(TM_MESSAGE_START), 0);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(host.journal().size(), 0u) << "an old host's table is never called";

    host.set_version(7500);
    EXPECT_EQ(init(module_file().c_str()), 1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1);
    EXPECT_EQ(send(TM_MESSAGE_START), 1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
}

TEST_F(ModuleFileTest, VersionBoundary) {
    host.set_version(7499);
    EXPECT_EQ(init(module_file().c_str()), -3);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);

    ASSERT_TRUE(module.load(module_file()));
    entry = module.entry();
    host.set_version(7500);
    EXPECT_EQ(init(module_file().c_str()), 1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
}

TEST_F(ModuleFileTest, NullPathIsRefusedAndStillCounted) {
    EXPECT_EQ(init(nullptr), -3);
    // The refused init raised the count: a second init does no work and succeeds.
    EXPECT_EQ(init(module_file().c_str()), 1);
    // Without a path the resource file name stays empty, and nothing loads from it.
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    EXPECT_EQ(host.journal().count("resource_load"), 1u);
    EXPECT_EQ(host.resources().live_count(), 0u);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(ModuleFileTest, EmptyPathIsAcceptedAndDerivesNothing) {
    EXPECT_EQ(init(""), 1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    ASSERT_EQ(host.journal().count("filename_derive"), 1u);
    long set = host.journal().find("filename_set_string");
    ASSERT_GE(set, 0);
    EXPECT_EQ(host.journal().entries()[set].text, "");
    EXPECT_EQ(host.resources().live_count(), 0u);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(ModuleFileTest, PathTooLongForTheModuleIsRefused) {
    std::string path(5000, 'a');
    EXPECT_EQ(init(path.c_str()), -3);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);

    ASSERT_TRUE(module.load(module_file()));
    entry = module.entry();
    std::string longest = "/no/such/folder/";
    longest.resize(1027, 'b');
    EXPECT_EQ(init(longest.c_str()), 1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    long set = host.journal().find("filename_set_string");
    ASSERT_GE(set, 0);
    EXPECT_EQ(host.journal().entries()[set].text, longest) << "kept whole, not shortened";
    EXPECT_EQ(send(TM_MESSAGE_END), 1);

    ASSERT_TRUE(module.load(module_file()));
    entry = module.entry();
    host.journal().clear();
    EXPECT_EQ(init(std::string(1028, 'c').c_str()), -3);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    set = host.journal().find("filename_set_string");
    ASSERT_GE(set, 0);
    EXPECT_EQ(host.journal().entries()[set].text, "");
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
}

TEST_F(ModuleFileTest, SecondInitReadsNothing) {
    ASSERT_EQ(init(module_file().c_str()), 1);
    host.journal().clear();
    // Neither the table nor the path of a second init is read.
    EXPECT_EQ(send(TM_MESSAGE_INIT, kPoison, kPoison, kPoison), 1);
    EXPECT_EQ(host.journal().size(), 0u);
    // The first table and path are still the module's.
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(host.journal().count("resource_free"), 0u) << "one init is still open";
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(host.journal().count("resource_free"), 1u);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(ModuleFileTest, OnlyTheLastEndReleasesAndEveryEndAnswersOne) {
    ASSERT_EQ(init(module_file().c_str()), 1);
    ASSERT_EQ(init(module_file().c_str()), 1);
    ASSERT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1);
    EXPECT_EQ(host.resources().live_count(), 1u);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(host.resources().live_count(), 1u);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(host.resources().live_count(), 0u);
    host.journal().clear();
    // Ends past the count release nothing and ask the host for nothing.
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_EQ(host.journal().size(), 0u);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(ModuleFileTest, PluginMessagesPassTheIdAndNeverReadTheData) {
    ASSERT_EQ(init(module_file().c_str()), 1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_ZERO, kPoison), 1);
    EXPECT_EQ(plugin_message(2, kPoison), -1);
    EXPECT_EQ(plugin_message(-1, kPoison), -1);
    EXPECT_EQ(host.journal().size(), 0u);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES, kPoison), 1);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
}

TEST_F(ModuleFileTest, ResourceLoadFailureIsReportedAndNotRetried) {
    ASSERT_EQ(init(module_file().c_str()), 1);
    host.fail("resource_load");
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    host.restore();
    host.journal().clear();
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), -1);
    EXPECT_EQ(host.journal().count("resource_load"), 0u);
    EXPECT_EQ(host.journal().count("filename_alloc"), 0u);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(ModuleFileTest, RestartWithinOneLoadAsksForTheResourceAgain) {
    for (int life = 0; life < 2; ++life) {
        host.journal().clear();
        ASSERT_EQ(init(module_file().c_str()), 1);
        EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1) << "life " << life;
        EXPECT_EQ(host.journal().count("resource_load"), 1u);
        EXPECT_EQ(send(TM_MESSAGE_END), 1);
        EXPECT_EQ(host.resources().live_count(), 0u);
    }
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(ModuleFileTest, UnloadAfterEndMakesNoHostCall) {
    ASSERT_EQ(init(module_file().c_str()), 1);
    ASSERT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1);
    ASSERT_EQ(send(TM_MESSAGE_END), 1);
    host.journal().clear();
    module.unload();
    EXPECT_EQ(host.journal().size(), 0u);
}

TEST_F(ModuleFileTest, UnloadReleasesAResourceTheHostNeverEnded) {
    ASSERT_EQ(init(module_file().c_str()), 1);
    ASSERT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1);
    module.unload();
    EXPECT_EQ(host.resources().live_count(), 0u);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

TEST_F(ModuleFileTest, WholeLifeLeavesNothingBehind) {
    ASSERT_EQ(init(module_file().c_str()), 1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1);
    EXPECT_EQ(send(TM_MESSAGE_START), 1);
    EXPECT_EQ(host.console().lines(), (std::vector<std::string>{"- Tonemix 2.03"}));
    EXPECT_NE(host.registrations().find(1007539), nullptr);
    EXPECT_EQ(send(TM_MESSAGE_QUERY), 2);
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    module.unload();
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
    EXPECT_EQ(host.strings().live_count(), 0u);
    EXPECT_EQ(host.memory().live_count(), 0u);
}

TEST_F(ModuleFileTest, StartWithoutDescriptionLibraryFails) {
    host.libraries().remove(TM_LIBRARY_DESCRIPTION);
    ASSERT_EQ(init(module_file().c_str()), 1);
    EXPECT_EQ(plugin_message(TM_PLUGIN_MESSAGE_LOAD_RESOURCES), 1);
    EXPECT_EQ(send(TM_MESSAGE_START), 0);
    EXPECT_EQ(host.console().lines(), (std::vector<std::string>{"- Tonemix 2.03"}));
    EXPECT_TRUE(host.registrations().list().empty());
    EXPECT_EQ(send(TM_MESSAGE_END), 1);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

}  // namespace
