// The report of what a module left behind: the lines tonemix-host prints, which scripts compare
// between the Linux and the Windows build, so they hold no pointers and no raw control bytes.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"
#include "host/core/text_format.h"

namespace {

TEST(LeftBehindReport, OneLinePerItemOfEveryKind) {
    tmhost::StandInHost host;
    HostStringStorage s;
    host.strings().start(&s, "line\nbreak \"quoted\"");
    HostFilenameStorage f;
    host.filenames().start(&f, "held.cdl");
    HostFilenameHandle block = host.table()->filename->alloc();
    void* p = host.table()->general->alloc(12, 59, "resource/_api/c4d_resource");
    host.table()->general->free(&s);  // not an allocation: a misuse

    const std::vector<std::string> expected = {
        "string never ended: \"line\\nbreak \\\"quoted\\\"\"",
        "file name never ended: \"held.cdl\"",
        "file name block never given back, not started",
        "allocation never freed: resource/_api/c4d_resource:59, 12 bytes",
        "misuse: general_free: pointer not allocated by the host",
    };
    EXPECT_EQ(host.left_behind().lines(), expected);

    host.table()->string->free(&s);
    host.table()->filename->destroy(&f);
    host.table()->filename->free(block);
    host.table()->general->free(p);
    host.misuses().clear();
    EXPECT_TRUE(host.left_behind().empty());
    EXPECT_TRUE(host.left_behind().lines().empty());
}

TEST(LeftBehindReport, ResourceHandlesAreListedByNumber) {
    tmhost::LeftBehind left;
    left.resources = {3, 7};
    EXPECT_FALSE(left.empty());
    EXPECT_EQ(left.lines(), (std::vector<std::string>{"resource never freed: handle 3",
                                                      "resource never freed: handle 7"}));
}

TEST(TextFormat, QuotingEscapesControlBytesAndKeepsUtf8) {
    EXPECT_EQ(tmhost::quoted(""), "\"\"");
    EXPECT_EQ(tmhost::quoted("a\\b\t\r\x01\x7f"), "\"a\\\\b\\t\\r\\x01\\x7f\"");
    EXPECT_EQ(tmhost::quoted("\xc3\xa9"), "\"\xc3\xa9\"");
}

TEST(TextFormat, RealsReadBackExactlyInTheFewestDigits) {
    EXPECT_EQ(tmhost::real_text(20.0f), "20");
    EXPECT_EQ(tmhost::real_text(0.1f), "0.1");
    EXPECT_EQ(tmhost::real_text(-1.5f), "-1.5");
    const float awkward = 16777217.0f / 3.0f;
    EXPECT_EQ(std::stof(tmhost::real_text(awkward)), awkward);
}

TEST(HostJournal, SwitchedOffItRecordsNothingButTheHostStillWorks) {
    tmhost::StandInHost host;
    host.journal().set_enabled(false);
    HostFilenameHandle block = host.table()->filename->alloc();
    ASSERT_NE(block, nullptr);
    host.table()->filename->free(block);
    EXPECT_EQ(host.journal().size(), 0u);
    EXPECT_TRUE(host.left_behind().empty());
}

}  // namespace
