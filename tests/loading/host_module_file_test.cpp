// Loading module files: clear errors for what is not a module, and the real Tonemix.cdl driven
// through its life by the stand-in host.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"
#include "host/loading/module_file.h"
#include "host/loading/module_lifecycle.h"
#include "temporary_folder.h"

#if defined(__linux__)
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace {

TEST(ModuleFiles, MissingFileFolderAndNonModuleGiveClearErrors) {
    tmhost::TemporaryFolder folder;
    tmhost::ModuleFile module;
    const std::string missing = (folder.path() / "Missing.cdl").string();
    EXPECT_FALSE(module.load(missing));
    EXPECT_EQ(module.error(), "module file not found: " + missing);

    EXPECT_FALSE(module.load(folder.path().string()));
    EXPECT_EQ(module.error().rfind("not a module file but a folder: ", 0), 0u) << module.error();

    const std::string text = folder.write("Text.cdl", "not a module at all").string();
    EXPECT_FALSE(module.load(text));
    EXPECT_EQ(module.error().rfind("not a loadable module: " + text, 0), 0u) << module.error();
    EXPECT_FALSE(module.loaded());
    EXPECT_EQ(module.entry(), nullptr);
}

#if defined(__linux__)
// A path the system will not follow is not a missing file, and a FIFO is no module: reading its
// headers would wait for a writer.
TEST(ModuleFiles, APathTheSystemRefusesOrAFifoIsNamedForWhatItIs) {
    tmhost::TemporaryFolder folder;
    tmhost::ModuleFile module;
    std::string deep = folder.path().string();
    while (deep.size() <= 4200) deep += "/" + std::string(100, 'd');
    deep += "/Tonemix.cdl";
    EXPECT_FALSE(module.load(deep));
    EXPECT_EQ(module.error(), "cannot open the module file: File name too long (a path of " +
                                  std::to_string(deep.size()) + " bytes): " + deep);

    const std::filesystem::path loop = folder.path() / "loop.cdl";
    std::filesystem::create_symlink(loop, loop);
    EXPECT_FALSE(module.load(loop.string()));
    EXPECT_EQ(module.error(),
              "cannot open the module file: Too many levels of symbolic links: " + loop.string());

    const std::string fifo = (folder.path() / "fifo.cdl").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(module.load(fifo));
    EXPECT_EQ(module.error(), "not a module file but a FIFO: " + fifo);
    EXPECT_FALSE(module.load("/dev/zero"));
    EXPECT_EQ(module.error(), "not a module file but a character device: /dev/zero");
    EXPECT_FALSE(module.loaded());
}
#endif

TEST(ModuleFiles, ALibraryWithoutTheEntryIsRefused) {
#if defined(__linux__)
    // The C library: certainly a loadable shared object, certainly without c4d_main.
    Dl_info info;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::puts), &info), 0);
    const std::string library = info.dli_fname;
    tmhost::ModuleFile module;
    EXPECT_FALSE(module.load(library));
    EXPECT_EQ(module.error(), "not a module of this host (no c4d_main): " + library);
    EXPECT_FALSE(module.loaded());
#else
    GTEST_SKIP() << "finds a system library through dladdr";
#endif
}

TEST(ModuleFiles, TheBuiltModuleLoadsFindsItsEntryAndUnloads) {
    tmhost::ModuleFile module;
    ASSERT_TRUE(module.load(TONEMIX_MODULE_FILE)) << module.error();
    ASSERT_NE(module.entry(), nullptr);
    EXPECT_EQ(module.entry()(TM_MESSAGE_QUERY, nullptr, nullptr, nullptr), TM_RESULT_QUERY);
    module.unload();
    EXPECT_FALSE(module.loaded());
    EXPECT_EQ(module.entry(), nullptr);
}

TEST(ModuleFiles, LoadingAgainGivesAFreshModule) {
    tmhost::StandInHost host;
    tmhost::ModuleFile module;
    char path[] = TONEMIX_MODULE_FILE;
    ASSERT_TRUE(module.load(TONEMIX_MODULE_FILE)) << module.error();
    EXPECT_EQ(module.entry()(TM_MESSAGE_INIT, host.table(), nullptr, path), TM_RESULT_HANDLED);
    module.unload();

    // A module still loaded would count this as a second init and accept it unchecked.
    ASSERT_TRUE(module.load(TONEMIX_MODULE_FILE)) << module.error();
    host.set_version(TM_HOST_API_MINIMUM - 1);
    EXPECT_EQ(module.entry()(TM_MESSAGE_INIT, host.table(), nullptr, path), TM_RESULT_INIT_REFUSED);
    EXPECT_EQ(module.entry()(TM_MESSAGE_END, nullptr, nullptr, nullptr), TM_RESULT_HANDLED);
    module.unload();
    EXPECT_TRUE(host.left_behind().empty());
}

// desclib_register standing in for the description library: accepts every description.
int32_t TM_CDECL accept_description(int32_t, HostStringHandle, int32_t) { return 1; }

TEST(ModuleLifecycle, TheBuiltModuleRunsItsLifeAndLeavesNothingBehind) {
    tmhost::StandInHost host;
    DescriptionLibraryTable library;
    std::memset(&library, 0, sizeof library);
    library.header.bound = TM_DESCLIB_REGISTER_OFFSET;
    library.desclib_register = accept_description;
    host.libraries().install(TM_LIBRARY_DESCRIPTION, &library.header);

    tmhost::ModuleFile module;
    ASSERT_TRUE(module.load(TONEMIX_MODULE_FILE)) << module.error();
    tmhost::ModuleLifecycle lifecycle(host, module.entry(), TONEMIX_MODULE_FILE);
    EXPECT_TRUE(lifecycle.start());
    EXPECT_TRUE(lifecycle.end());
    module.unload();

    EXPECT_TRUE(lifecycle.all_as_expected());
    ASSERT_EQ(lifecycle.outcomes().size(), 5u);
    EXPECT_EQ(lifecycle.outcomes()[3].line(), "message 4 (query): 2");
    ASSERT_EQ(host.resources().attempts().size(), 1u);
    EXPECT_NE(host.resources().attempts()[0].handle, 0) << host.resources().attempts()[0].reason;
    ASSERT_EQ(host.registrations().list().size(), 1u);
    EXPECT_EQ(host.registrations().list()[0].record.size(), sizeof(ShaderRegistration));
    EXPECT_EQ(host.console().lines().size(), 1u);
    EXPECT_TRUE(
        host.journal().contains_in_order({"filename_derive", "filename_alloc", "resource_load",
                                          "general_register_plugin", "resource_free"}));
    EXPECT_TRUE(host.left_behind().empty()) << host.left_behind().lines()[0];
}

TEST(ModuleLifecycle, AFailedInitSendsOnlyTheEnd) {
    tmhost::StandInHost host(TM_HOST_API_MINIMUM - 1);
    tmhost::ModuleFile module;
    ASSERT_TRUE(module.load(TONEMIX_MODULE_FILE)) << module.error();
    tmhost::ModuleLifecycle lifecycle(host, module.entry(), TONEMIX_MODULE_FILE);
    EXPECT_FALSE(lifecycle.start());
    EXPECT_TRUE(lifecycle.end());
    module.unload();
    ASSERT_EQ(lifecycle.outcomes().size(), 5u);
    EXPECT_EQ(lifecycle.outcomes()[0].line(), "message 1 (init): -3 (expected 1)");
    EXPECT_EQ(lifecycle.outcomes()[2].line(), "message 2 (start): not sent, init failed");
    EXPECT_EQ(host.journal().size(), 0u);
}

}  // namespace
