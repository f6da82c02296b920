// Whether a document is well-formed XML, as a real parser says: Python's xml.dom.minidom (over
// expat), run as a program (Linux only; python3 is one of the packages scripts/setup installs).
#ifndef TONEMIX_TEST_XML_CHECK_H
#define TONEMIX_TEST_XML_CHECK_H

#if defined(__linux__)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/wait.h>

#include "temporary_folder.h"

namespace tonemix_test {

constexpr const char* kNoParser = "no XML parser: python3 is not installed";

// "" for a well-formed document, else the parser's words (or kNoParser).
inline std::string xml_parse_error(const std::string& document) {
    if (std::system("python3 -c 'import xml.dom.minidom' >/dev/null 2>&1") != 0) return kNoParser;
    tmhost::TemporaryFolder folder;
    const std::string file = folder.write("document.xml", document).string();
    const std::string command =
        "python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' '" + file +
        "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "cannot run python3";
    std::string said;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) said += static_cast<char>(c);
    const int status = pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    // The last line names the fault: "xml.parsers.expat.ExpatError: not well-formed ...".
    const std::size_t end = said.find_last_not_of('\n');
    const std::size_t start = said.rfind('\n', end);
    return said.substr(start == std::string::npos ? 0 : start + 1);
}

}  // namespace tonemix_test

#endif
#endif
