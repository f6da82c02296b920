// Renders of one session under way at once share its crash report: while any of them shades, the
// report says "shading", whichever ends first; once the last has ended, "running".
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/loading/module_endings.h"
#include "host/loading/module_session.h"
#include "thrown_text.h"

namespace {

TEST(ModuleSessionPhase, OverlappingRendersKeepShadingUntilTheLastEnds) {
    tmhost::ModuleSession session(TONEMIX_MODULE_FILE, nullptr,
                                  tmhost::ModuleSession::OnCrash::one_line);
    session.require_shader();
    EXPECT_STREQ(tmhost::module_phase(), "running");
    session.shading_begins();
    session.shading_begins();
    session.shading_ends();
    EXPECT_STREQ(tmhost::module_phase(), "shading") << "one render still shades";
    session.shading_ends();
    EXPECT_STREQ(tmhost::module_phase(), "running");

    // Sixteen request threads, each beginning and ending its renders at random moments of the
    // others': each, inside its own, sees "shading".
    std::atomic<int> wrong{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 16; ++t) {
        threads.emplace_back([&] {
            while (!go) std::this_thread::yield();
            for (int render = 0; render < 500; ++render) {
                session.shading_begins();
                if (std::strcmp(tmhost::module_phase(), "shading") != 0) wrong.fetch_add(1);
                session.shading_ends();
            }
        });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_STREQ(tmhost::module_phase(), "running");
    EXPECT_TRUE(session.finish().empty());
}

// A file that cannot be loaded is the session's error, and leaves no phase behind for a crash
// or an exit that comes later, outside any module's work.
TEST(ModuleSessionPhase, AFileThatCannotBeLoadedLeavesNoPhase) {
    for (const auto on_crash :
         {tmhost::ModuleSession::OnCrash::one_line, tmhost::ModuleSession::OnCrash::crash}) {
        EXPECT_EQ(tonemix_test::thrown_text<tmhost::ModuleError>([&] {
                      tmhost::ModuleSession session("/no/such/Tonemix.cdl", nullptr, on_crash);
                  }),
                  "module file not found: /no/such/Tonemix.cdl");
        EXPECT_STREQ(tmhost::module_phase(), "");
    }
}

}  // namespace
