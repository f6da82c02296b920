// The lifecycle group where the module cannot live as a host expects: a file that does not load
// fails every life with the loader's reason, and a module that refuses its init is named by the
// message and both answers, then by the messages it could not handle without it.
#include <string>

#include <gtest/gtest.h>

#include "host/loading/module_file.h"
#include "host/validate/validation.h"
#include "module_at_length.h"
#include "temporary_folder.h"

namespace {

tmhost::GroupVerdict lifecycle_of(const std::string& module_path) {
    tmhost::ValidationSettings settings;
    settings.module_path = module_path;
    settings.level = 1;
    return tmhost::validate_lifecycle(settings);
}

bool has_failure(const tmhost::GroupVerdict& verdict, const std::string& failure) {
    for (const std::string& line : verdict.failures) {
        if (line == failure) return true;
    }
    return false;
}

TEST(LifecycleGroup, AFileThatDoesNotLoadFailsEveryLifeWithTheLoadersReason) {
    tmhost::TemporaryFolder folder;
    const std::string missing = (folder.path() / "Tonemix.cdl").string();
    tmhost::ModuleFile file;
    ASSERT_FALSE(file.load(missing));
    const std::string reason = file.error();
    ASSERT_FALSE(reason.empty());

    const tmhost::GroupVerdict verdict = lifecycle_of(missing);
    EXPECT_FALSE(verdict.passed);
    ASSERT_FALSE(verdict.failures.empty());
    // The repeated lives stop at the first load that fails; the lives after them each try once.
    EXPECT_EQ(verdict.failures.front(), "load 1: the module did not load: " + reason);
    EXPECT_TRUE(has_failure(verdict, "two inits, two ends: the module did not load: " + reason))
        << verdict.line();
    EXPECT_TRUE(has_failure(verdict, "an end too many: the module did not load: " + reason))
        << verdict.line();
    // Nor is a module that never loaded blamed for what its start did not write.
    for (const std::string& line : verdict.failures) {
        EXPECT_EQ(line.find("no console line"), std::string::npos) << line;
    }
    EXPECT_TRUE(has_failure(verdict, "start twice: the module did not load: " + reason))
        << verdict.line();
    EXPECT_EQ(verdict.counts.find("messages"), std::string::npos)
        << "a message was sent to no module: " << verdict.counts;
}

#ifndef _WIN32
TEST(LifecycleGroup, AnInitRefusedIsNamedWithBothAnswersAndTheMissingStartLine) {
    tmhost::TemporaryFolder folder;
    ASSERT_LT(folder.path().string().size(), 600u) << "the temporary folder is too deep";
    const std::string path = tonemix_test::module_at_length(folder, tmhost::kModulePathBytes);
    ASSERT_EQ(path.size(), tmhost::kModulePathBytes);

    const tmhost::GroupVerdict verdict = lifecycle_of(path);
    EXPECT_FALSE(verdict.passed);
    ASSERT_FALSE(verdict.failures.empty());
    // -3 is the module's refusal of a path it cannot keep; 1 is handled.
    EXPECT_EQ(verdict.failures.front(), "load 1: init answered -3, 1 expected");
    // Without its init the module neither loads its resources nor starts, and says so.
    ASSERT_GE(verdict.failures.size(), 3u);
    EXPECT_EQ(verdict.failures[1], "load 1: plug-in message 1 answered -1, 1 expected");
    EXPECT_EQ(verdict.failures[2], "load 1: start answered 0, 1 expected");
}
#endif

}  // namespace
