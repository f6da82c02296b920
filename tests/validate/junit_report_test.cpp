// The JUnit report holds whatever bytes a module printed or its path holds, and stays XML: the
// exact escapes, and a real parser's verdict on a report made of hostile text.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/validate/junit_report.h"
#include "xml_check.h"

namespace {

TEST(JunitReport, TextIsEscapedAsValidatesLinesAreAndKeepsOnlyWhatXmlCarries) {
    const struct {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d&apos;"},
        {"two\nlines\tand a tab", "two\nlines\tand a tab"},
        {"bell\x07, return\r, delete\x7f", "bell\\x07, return\\r, delete\\x7f"},
        {"folder\xff\xfe/Tonemix.cdl", "folder\\xff\\xfe/Tonemix.cdl"},
        {"name\xef\xbf\xbe and \xef\xbf\xbf", "name\\ufffe and \\uffff"},
        {"lone surrogate \xed\xa0\x80", "lone surrogate \\xed\\xa0\\x80"},
        {"cut short \xe2\x82", "cut short \\xe2\\x82"},
        {"right to left \xe2\x80\xae", "right to left \\u202e"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa8 \xef\xbf\xbd",
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa8 \xef\xbf\xbd"},
    };
    for (const auto& c : cases) EXPECT_EQ(tmhost::xml_escaped(c.text), c.escaped) << c.text;
    // In an attribute a raw newline or tab would be read as a space.
    EXPECT_EQ(tmhost::xml_attribute_escaped("two\nlines\tand <a> tab"),
              "two&#10;lines&#9;and &lt;a&gt; tab");
}

#if defined(__linux__)
TEST(JunitReport, AReportOfHostileTextIsWellFormedXml) {
    std::string every_byte;
    for (int byte = 1; byte < 256; ++byte) every_byte += static_cast<char>(byte);
    tmhost::ValidationSettings settings;
    settings.module_path = "/tmp/host\xff\xfe/<Tonemix>&\"'.cdl";
    settings.seed = 7;
    tmhost::GroupResult failed;
    failed.name = "lifecycle\xef\xbf\xbe";
    failed.verdict.passed = false;
    failed.verdict.failures = {"console line \"TONEMIX_SAMP\xef\xbf\xbeLES\"", every_byte,
                               "]]> \xed\xbf\xbf \xef\xbf\xbf\x01"};
    failed.verdict.counts = "3 loads\x0c";
    tmhost::GroupResult passed;
    passed.name = "threads";
    passed.verdict.counts = every_byte;
    const std::string xml = tmhost::junit_xml({failed, passed}, settings);
    const std::string error = tonemix_test::xml_parse_error(xml);
    if (error == tonemix_test::kNoParser) GTEST_SKIP() << error;
    EXPECT_EQ(error, "") << xml;
    EXPECT_NE(xml.find("value=\"/tmp/host\\xff\\xfe/&lt;Tonemix&gt;&amp;&quot;&apos;.cdl\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<failure message=\"console line &quot;TONEMIX_SAMP\\ufffeLES&quot;\">"),
              std::string::npos)
        << xml;
}

TEST(JunitReport, AFailureOfSeveralLinesKeepsThemInItsMessage) {
    tmhost::ValidationSettings settings;
    settings.module_path = "/tmp/Tonemix.cdl";
    tmhost::GroupResult failed;
    failed.name = "lifecycle";
    failed.verdict.passed = false;
    failed.verdict.failures = {"first line\nsecond line\tafter a tab"};
    const std::string xml = tmhost::junit_xml({failed}, settings);
    EXPECT_NE(xml.find("<failure message=\"first line&#10;second line&#9;after a tab\">"),
              std::string::npos)
        << xml;
    // The element's text keeps the lines as they are.
    EXPECT_NE(xml.find("first line\nsecond line\tafter a tab\n"), std::string::npos) << xml;
    const std::string error = tonemix_test::xml_parse_error(xml);
    if (error == tonemix_test::kNoParser) GTEST_SKIP() << error;
    EXPECT_EQ(error, "") << xml;
}
#endif

// A failed group whose verdict brought no reason (a child that gave an empty one) is still a
// failure in the report, with a message CI systems can show.
TEST(JunitReport, AFailureWithoutReasonsStillHasAMessage) {
    tmhost::GroupResult result;
    result.name = "threads";
    result.verdict.passed = false;
    const std::string xml = tmhost::junit_xml({result}, tmhost::ValidationSettings{});
    EXPECT_NE(xml.find("<failure message=\"failed\"></failure>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("failures=\"1\""), std::string::npos) << xml;
    EXPECT_EQ(xml.find("<system-out>"), std::string::npos) << xml;
}

}  // namespace
