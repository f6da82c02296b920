// Host strings in the module's own 16 bytes, reached through the table as the module reaches them.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"

namespace {

class HostStrings : public ::testing::Test {
protected:
    std::string text_of(const HostStringStorage& s) {
        const std::string* text = host.strings().text(&s);
        return text != nullptr ? *text : "<not started>";
    }

    tmhost::StandInHost host;
    HostStringTable& ops = *host.table()->string;
};

TEST_F(HostStrings, StartSetCopyAndEnd) {
    HostStringStorage a, b;
    ops.init(&a);
    EXPECT_EQ(ops.length(&a), 0);
    ops.set_cstr(&a, "- Tonemix ", -1, 0);
    ops.init(&b);
    ops.copy(&a, &b);
    ops.set_cstr(&a, "changed", -1, 0);
    EXPECT_EQ(text_of(b), "- Tonemix ");
    EXPECT_EQ(ops.length(&b), 10);
    EXPECT_EQ(host.strings().live_count(), 2u);
    ops.free(&a);
    ops.free(&b);
    EXPECT_EQ(host.strings().live_count(), 0u);
    EXPECT_TRUE(host.left_behind().empty());
}

TEST_F(HostStrings, SetWithLengthTakesThatManyBytesButNeverPastTheText) {
    HostStringStorage s;
    ops.init(&s);
    ops.set_cstr(&s, "abcdef", 3, 0);
    EXPECT_EQ(text_of(s), "abc");
    const char short_text[] = "xy";
    ops.set_cstr(&s, short_text, 1000, 0);
    EXPECT_EQ(text_of(s), "xy");
    ops.set_cstr(&s, "\xc3\xa9t\xc3\xa9", -1, 0);  // UTF-8 passes through as bytes
    EXPECT_EQ(ops.length(&s), 5);
    ops.free(&s);
    EXPECT_TRUE(host.misuses().messages().empty());
}

TEST_F(HostStrings, InsertClampsThePositionAndAcceptsItself) {
    HostStringStorage s, other;
    ops.init(&s);
    ops.init(&other);
    ops.set_cstr(&s, "2.03", -1, 0);
    ops.set_cstr(&other, "- Tonemix ", -1, 0);
    EXPECT_NE(ops.insert(&s, -5, &other), 0);
    EXPECT_EQ(text_of(s), "- Tonemix 2.03");
    EXPECT_NE(ops.insert(&other, 999, &other), 0);
    EXPECT_EQ(text_of(other), "- Tonemix - Tonemix ");
    ops.set_cstr(&other, "!", -1, 0);
    EXPECT_NE(ops.insert(&s, ops.length(&s), &other), 0);
    EXPECT_EQ(text_of(s), "- Tonemix 2.03!");
    // The two places past the ends are each the module's misuse; the end itself is not.
    ASSERT_EQ(host.misuses().count(), 2u);
    EXPECT_EQ(host.misuses().messages()[0], "string_insert: position -5 outside 0..4");
    EXPECT_EQ(host.misuses().messages()[1], "string_insert: position 999 outside 0..10");
    ops.free(&s);
    ops.free(&other);
}

TEST_F(HostStrings, MisusesAreReportedAndAnswerNeutralValues) {
    HostStringStorage never;
    std::memset(&never, 0, sizeof never);
    ops.free(&never);
    EXPECT_EQ(ops.length(&never), 0);
    ASSERT_EQ(host.misuses().count(), 2u);
    EXPECT_EQ(host.misuses().messages()[0], "string_free: the string was never started");

    HostStringStorage s;
    ops.init(&s);
    ops.free(&s);
    ops.free(&s);
    EXPECT_EQ(host.misuses().messages().back(), "string_free: the string was already ended");

    HostStringStorage other;
    ops.init(&other);
    EXPECT_EQ(ops.insert(&other, 0, &s), 0);  // s is ended
    ops.free(&other);
    ops.free(nullptr);
    EXPECT_EQ(host.misuses().messages().back(), "string_free: null string");
    EXPECT_EQ(host.strings().live_count(), 0u);
}

TEST_F(HostStrings, StorageCopiedByteByByteIsNotTheString) {
    HostStringStorage s, moved;
    ops.init(&s);
    ops.set_cstr(&s, "kept", -1, 0);
    std::memcpy(&moved, &s, sizeof s);
    EXPECT_EQ(ops.length(&moved), 0);
    EXPECT_EQ(host.misuses().messages().back(),
              "string_length: the string was copied byte by byte from the storage it was started "
              "in");
    ops.free(&s);
}

TEST_F(HostStrings, AStringNeverEndedIsLeftBehindWithItsText) {
    HostStringStorage s;
    ops.init(&s);
    ops.set_cstr(&s, "forgotten", -1, 0);
    ops.init(&s);  // started again: the first one can no longer be ended
    tmhost::LeftBehind left = host.left_behind();
    ASSERT_EQ(left.strings.size(), 2u);
    EXPECT_EQ(left.strings[0], "forgotten");
    ASSERT_EQ(left.misuses.size(), 1u);
    EXPECT_EQ(left.misuses[0], "string_init: the string was started again without being ended");
    ops.free(&s);
    EXPECT_EQ(host.left_behind().strings.size(), 1u);
}

}  // namespace
