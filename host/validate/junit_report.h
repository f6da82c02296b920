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

// Text made safe for XML character data and attribute values, and written as validate's lines
// write it: control bytes escaped ("\x01", "\r"; newlines and tabs kept), bytes that are no
// UTF-8 as "\xff", and U+FFFE and U+FFFF, which XML 1.0 forbids, as "\ufffe" and "\uffff". The
// report is well-formed XML whatever the module printed or its path holds.
std::string xml_escaped(const std::string& text);
// The same for an attribute value, with newlines and tabs as "&#10;" and "&#9;", which a parser
// keeps there (it reads a raw one as a space).
std::string xml_attribute_escaped(const std::string& text);

}  // namespace tmhost

#endif
