#include "host/validate/junit_report.h"

#include <cstdio>

namespace tmhost {

std::string xml_escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
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
            if (byte < 0x20 && c != '\n' && c != '\t')
                escaped += '?';
            else
                escaped += c;
        }
    }
    return escaped;
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
    xml +=
        "      <property name=\"module\" value=\"" + xml_escaped(settings.module_path) + "\"/>\n";
    xml += "      <property name=\"level\" value=\"" + std::to_string(settings.level) + "\"/>\n";
    xml += "      <property name=\"seed\" value=\"" + std::to_string(settings.seed) + "\"/>\n";
    xml += "    </properties>\n";
    for (const GroupResult& result : results) {
        xml += "    <testcase classname=\"validate\" name=\"" + xml_escaped(result.name) +
               "\" time=\"" + seconds_text(result.seconds) + "\">\n";
        if (!result.verdict.passed) {
            const std::string first =
                result.verdict.failures.empty() ? "failed" : result.verdict.failures.front();
            xml += "      <failure message=\"" + xml_escaped(first) + "\">";
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
