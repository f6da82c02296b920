// The module's resource object: what it asks of the host on a first load, on a cached answer,
// after a failure, and when it lets go.
#include <cstring>
#include <string>

#include "bound_host_test.h"
#include "c4d_resource.h"
#include "module_state.h"

namespace {

class PluginResourceTest : public tonemix_test::BoundHostTest {
protected:
    void TearDown() override {
        resource.release();
        plugin_resource.release();
        std::memset(module_path, 0, sizeof module_path);
        BoundHostTest::TearDown();
    }
    void set_module_path(const std::string& path) {
        std::memset(module_path, 0, sizeof module_path);
        std::memcpy(module_path, path.c_str(), path.size());
    }

    PluginResource resource;
};

TEST_F(PluginResourceTest, FirstLoadKeepsACopyAndAsksTheHostWithTheNameGiven) {
    HostString folder(tonemix_test::resource_folder().c_str());
    HostFilename name(folder);
    host.journal().clear();
    EXPECT_EQ(resource.load(name), 1);
    EXPECT_TRUE(host.journal().contains_in_order(
        {"filename_alloc", "filename_init", "filename_copy", "resource_load"}))
        << host.journal().to_text();
    long load = host.journal().find("resource_load");
    ASSERT_GE(load, 0);
    EXPECT_EQ(host.journal().entries()[load].words[0], tmhost::word_of(name.raw()));
    EXPECT_NE(resource.handle(), 0);
    EXPECT_EQ(resource.attempted(), 1);
    ASSERT_NE(resource.file_name(), nullptr);
}

TEST_F(PluginResourceTest, AnAssignedNameIsTheHostsCopyOfTheOther) {
    HostString folder(tonemix_test::resource_folder().c_str());
    const HostFilename good(folder);
    HostString nowhere("/no/such/folder/res");
    HostFilename name(nowhere);
    host.journal().clear();
    name = good;
    // Copied into the block already started: nothing made, nothing ended.
    ASSERT_EQ(host.journal().size(), 1u) << host.journal().to_text();
    EXPECT_EQ(host.journal().entries()[0].operation, "filename_copy");
    EXPECT_EQ(host.journal().entries()[0].words[0], tmhost::word_of(good.raw()));
    EXPECT_EQ(host.journal().entries()[0].words[1], tmhost::word_of(name.raw()));
    EXPECT_EQ(resource.load(name), 1);
}

TEST_F(PluginResourceTest, CachedAnswerAsksTheHostNothing) {
    HostString folder(tonemix_test::resource_folder().c_str());
    HostFilename name(folder);
    ASSERT_EQ(resource.load(name), 1);
    HostString other_text("/elsewhere/res");
    HostFilename other(other_text);
    host.journal().clear();
    EXPECT_EQ(resource.load(other), 1) << "a different name later is ignored";
    EXPECT_EQ(host.journal().size(), 0u) << host.journal().to_text();
}

TEST_F(PluginResourceTest, FailedLoadIsNotRetried) {
    HostString folder("/no/such/folder/res");
    HostFilename name(folder);
    EXPECT_EQ(resource.load(name), 0);
    EXPECT_EQ(resource.attempted(), 1);
    EXPECT_EQ(resource.handle(), 0);
    HostString good_text(tonemix_test::resource_folder().c_str());
    HostFilename good(good_text);
    host.journal().clear();
    EXPECT_EQ(resource.load(good), 0);
    EXPECT_EQ(host.journal().size(), 0u) << host.journal().to_text();
}

TEST_F(PluginResourceTest, FileNameAllocationFailureIsRetriedLater) {
    HostString folder(tonemix_test::resource_folder().c_str());
    HostFilename name(folder);
    host.fail("filename_alloc");
    EXPECT_EQ(resource.load(name), 0);
    EXPECT_EQ(resource.attempted(), 0);
    EXPECT_EQ(host.journal().count("resource_load"), 0u);
    host.restore();
    host.journal().clear();
    EXPECT_EQ(resource.load(name), 1);
    EXPECT_EQ(host.journal().count("filename_alloc"), 1u);
    EXPECT_EQ(host.journal().count("resource_load"), 1u);
}

TEST_F(PluginResourceTest, ReleaseGivesEverythingBackOnce) {
    HostString folder(tonemix_test::resource_folder().c_str());
    HostFilename name(folder);
    ASSERT_EQ(resource.load(name), 1);
    host.journal().clear();
    resource.release();
    EXPECT_TRUE(
        host.journal().contains_in_order({"resource_free", "filename_destroy", "filename_free"}))
        << host.journal().to_text();
    EXPECT_EQ(resource.handle(), 0);
    EXPECT_EQ(resource.file_name(), nullptr);
    host.journal().clear();
    resource.release();
    EXPECT_EQ(host.journal().size(), 0u) << "nothing held: no host call";
}

TEST_F(PluginResourceTest, LoadAfterReleaseAsksTheHostAgain) {
    HostString folder(tonemix_test::resource_folder().c_str());
    HostFilename name(folder);
    ASSERT_EQ(resource.load(name), 1);
    resource.release();
    EXPECT_EQ(resource.attempted(), 0);
    host.journal().clear();
    EXPECT_EQ(resource.load(name), 1);
    EXPECT_EQ(host.journal().count("resource_load"), 1u);
}

TEST_F(PluginResourceTest, ModuleResourceNameIsTheFolderBesideTheModule) {
    set_module_path(tonemix_test::module_file());
    alignas(HostFilename) unsigned char storage[sizeof(HostFilename)];
    HostFilename* name = module_resource_name(storage);
    const std::string* text = host.filenames().text(name->raw());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(*text, tonemix_test::resource_folder());
    name->~HostFilename();
}

TEST_F(PluginResourceTest, ModuleResourceNameStaysEmptyWhenNothingDerives) {
    set_module_path(tonemix_test::module_file());
    host.fail("filename_derive");
    alignas(HostFilename) unsigned char storage[sizeof(HostFilename)];
    HostFilename* name = module_resource_name(storage);
    const std::string* text = host.filenames().text(name->raw());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(*text, "");
    EXPECT_EQ(host.journal().count("filename_free"), 0u);
    name->~HostFilename();
}

TEST_F(PluginResourceTest, SecondModuleLoadOnlyBuildsAndEndsNames) {
    set_module_path(tonemix_test::module_file());
    ASSERT_EQ(load_module_resources(), 1);
    host.journal().clear();
    EXPECT_EQ(load_module_resources(), 1);
    EXPECT_EQ(host.journal().count("filename_alloc"), 0u);
    EXPECT_EQ(host.journal().count("resource_load"), 0u);
    EXPECT_EQ(host.journal().count("resource_free"), 0u);
    EXPECT_EQ(host.journal().count("filename_derive"), 1u);
}

TEST_F(PluginResourceTest, SecondModuleLoadAfterFailureStillFailsQuietly) {
    set_module_path("/no/such/module/Tonemix.cdl");
    ASSERT_EQ(load_module_resources(), 0);
    host.journal().clear();
    EXPECT_EQ(load_module_resources(), 0);
    EXPECT_EQ(host.journal().count("filename_alloc"), 0u);
    EXPECT_EQ(host.journal().count("resource_load"), 0u);
    EXPECT_EQ(host.journal().count("resource_free"), 0u);
}

}  // namespace
