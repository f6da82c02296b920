// The verdicts of a validation as JUnit XML, the report CI systems read: one test suite, one test
// case per group, a failure element per failed group with its reasons.
#ifndef TMHOST_JUNIT_REPORT_H
#define TMHOST_JUNIT_REPORT_H

#include <string>
#include <vector>

#include "host/validate/validation.h"

namespace tmhost {

struct GroupResult {
    std::string name;
    GroupVerdict verdict;
    double seconds = 0.0;
};

std::string junit_xml(const std::vector<GroupResult>& results, const ValidationSettings& settings);

// Text made safe for XML character data and attribute values; bytes that XML 1.0 cannot carry
// (control characters) become '?'.
std::string xml_escaped(const std::string& text);

}  // namespace tmhost

#endif
