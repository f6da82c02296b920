#include "host/validate/junit_report.h"

#include <cstdio>

#include "host/core/text_format.h"

namespace tmhost {

namespace {

// The two characters that are well-formed UTF-8 but that no XML document may hold; every other
// character XML forbids is a control byte or no UTF-8, which one_line has escaped already.
constexpr const char* kForbidden[][2] = {{"\xef\xbf\xbe", "\\ufffe"}, {"\xef\xbf\xbf", "\\uffff"}};

void append_markup_escaped(std::string& escaped, const std::string& piece) {
    std::string line = one_line(piece);
    for (const auto& forbidden : kForbidden) {
        for (std::size_t at = line.find(forbidden[0]); at != std::string::npos;
             at = line.find(forbidden[0], at + 6)) {
            line.replace(at, 3, forbidden[1]);
        }
    }
    for (char c : line) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        default:
            escaped += c;
        }
    }
}

}  // namespace

namespace {

// Newlines and tabs as they are (character data) or as references: a parser reads a raw one in an
// attribute value as a space.
std::string escaped_keeping_lines(const std::string& text, bool as_references) {
    std::string escaped;
    std::size_t start = 0;
    for (std::size_t at = text.find_first_of("\n\t"); at != std::string::npos;
         at = text.find_first_of("\n\t", start)) {
        append_markup_escaped(escaped, text.substr(start, at - start));
        if (as_references) {
            escaped += text[at] == '\n' ? "&#10;" : "&#9;";
        } else {
            escaped += text[at];
        }
        start = at + 1;
    }
    append_markup_escaped(escaped, text.substr(start));
    return escaped;
}

}  // namespace

std::string xml_escaped(const std::string& text) { return escaped_keeping_lines(text, false); }

std::string xml_attribute_escaped(const std::string& text) {
    return escaped_keeping_lines(text, true);
}

namespace {

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

}  // namespace

std::string junit_xml(const std::vector<GroupResult>& results, const ValidationSettings& settings) {
    int failures = 0;
    double total = 0.0;
    for (const GroupResult& result : results) {
        if (!result.verdict.passed) failures += 1;
        total += result.seconds;
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuites tests=\"" + std::to_string(results.size()) + "\" failures=\"" +
           std::to_string(failures) + "\" time=\"" + seconds_text(total) + "\">\n";
    xml += "  <testsuite name=\"tonemix-host validate\" tests=\"" + std::to_string(results.size()) +
           "\" failures=\"" + std::to_string(failures) + "\" errors=\"0\" skipped=\"0\" time=\"" +
           seconds_text(total) + "\">\n";
    xml += "    <properties>\n";
    xml += "      <property name=\"module\" value=\"" +
           xml_attribute_escaped(settings.module_path) + "\"/>\n";
    xml += "      <property name=\"level\" value=\"" + std::to_string(settings.level) + "\"/>\n";
    xml += "      <property name=\"seed\" value=\"" + std::to_string(settings.seed) + "\"/>\n";
    xml += "    </properties>\n";
    for (const GroupResult& result : results) {
        xml += "    <testcase classname=\"validate\" name=\"" + xml_attribute_escaped(result.name) +
               "\" time=\"" + seconds_text(result.seconds) + "\">\n";
        if (!result.verdict.passed) {
            const std::string first =
                result.verdict.failures.empty() ? "failed" : result.verdict.failures.front();
            xml += "      <failure message=\"" + xml_attribute_escaped(first) + "\">";
            for (const std::string& failure : result.verdict.failures) {
                xml += xml_escaped(failure) + "\n";
            }
            xml += "</failure>\n";
        }
        if (!result.verdict.counts.empty()) {
            xml += "      <system-out>" + xml_escaped(result.verdict.counts) + "</system-out>\n";
        }
        xml += "    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

}  // namespace tmhost
