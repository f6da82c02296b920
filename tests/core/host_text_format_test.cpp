// Text echoed into a report stays one line that shows its bytes for what they are: control bytes,
// bytes that are no UTF-8 and the controls that reorder or hide text are escaped; everything else
// passes as it is.
#include <string>

#include <gtest/gtest.h>

#include "host/core/text_format.h"

namespace {

using tmhost::one_line;
using tmhost::quoted;

TEST(TextFormat, WellFormedTextPassesAndControlBytesAreEscaped) {
    EXPECT_EQ(one_line("plain"), "plain");
    EXPECT_EQ(one_line("a\nb\tc\rd\x1b[31m\x7f"), "a\\nb\\tc\\rd\\x1b[31m\\x7f");
    EXPECT_EQ(one_line("gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x99\x82"),
              "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x99\x82");
    EXPECT_EQ(quoted("say \"hi\" \\ there\n"), "\"say \\\"hi\\\" \\\\ there\\n\"");
}

TEST(TextFormat, BytesThatAreNoUtf8AreEscapedOneByOne) {
    EXPECT_EQ(one_line("\xff"), "\\xff");
    EXPECT_EQ(one_line("\x80x"), "\\x80x");                           // a stray continuation byte
    EXPECT_EQ(one_line("a\xc3"), "a\\xc3");                           // cut short at the end
    EXPECT_EQ(one_line("\xc3(x"), "\\xc3(x");                         // cut short by another byte
    EXPECT_EQ(one_line("\xc0\xaf"), "\\xc0\\xaf");                    // an overlong '/'
    EXPECT_EQ(one_line("\xe0\x80\xaf"), "\\xe0\\x80\\xaf");           // overlong in three bytes
    EXPECT_EQ(one_line("\xed\xa0\x80"), "\\xed\\xa0\\x80");           // a surrogate
    EXPECT_EQ(one_line("\xf4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");  // beyond U+10FFFF
    EXPECT_EQ(one_line("\xf4\x8f\xbf\xbf"), "\xf4\x8f\xbf\xbf");      // U+10FFFF itself
}

TEST(TextFormat, ControlsThatReorderOrHideTextAreEscaped) {
    EXPECT_EQ(one_line("a\xe2\x80\xae"
                       "cba"),
              "a\\u202ecba");                                             // right-to-left override
    EXPECT_EQ(one_line("\xe2\x81\xa6x\xe2\x81\xa9"), "\\u2066x\\u2069");  // isolates
    EXPECT_EQ(one_line("\xe2\x80\x8f"), "\\u200f");                       // right-to-left mark
    EXPECT_EQ(one_line("\xd8\x9c"), "\\u061c");                           // Arabic letter mark
    EXPECT_EQ(one_line("\xc2\x9b"
                       "31m"),
              "\\u009b31m");                      // C1 CSI
    EXPECT_EQ(one_line("\xc2\xa0"), "\xc2\xa0");  // a no-break space is text
    EXPECT_EQ(quoted("\xe2\x80\xae"), "\"\\u202e\"");
}

}  // namespace
