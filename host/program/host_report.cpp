#include "host/program/host_report.h"

#include "host/core/text_format.h"

namespace tmhost {

std::vector<std::string> resource_report(const StandInHost& host) {
    std::vector<std::string> lines;
    for (const ResourceLoadAttempt& attempt : host.resources().attempts()) {
        if (attempt.handle == 0) {
            lines.push_back("resource not loaded: " + attempt.reason);
            continue;
        }
        std::string line = "resource loaded: handle " + std::to_string(attempt.handle) + ", ";
        if (attempt.description_names.empty()) line += "no descriptions";
        for (std::size_t i = 0; i < attempt.description_names.size(); ++i) {
            line += (i == 0 ? "descriptions " : ", ") + quoted(attempt.description_names[i]);
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> console_report(const StandInHost& host) {
    const std::vector<std::string>& printed = host.console().lines();
    std::vector<std::string> lines;
    lines.push_back(printed.empty() ? "console: nothing printed" : "console:");
    for (const std::string& line : printed) lines.push_back("  " + quoted(line));
    return lines;
}

std::vector<std::string> registration_report(const StandInHost& host) {
    const std::vector<PluginRegistration>& list = host.registrations().list();
    std::vector<std::string> lines;
    lines.push_back(list.empty() ? "registrations: none" : "registrations:");
    for (const PluginRegistration& registration : list) {
        lines.push_back("  plug-in " + std::to_string(registration.id) + " " +
                        quoted(registration.name) + ", type " + std::to_string(registration.type) +
                        ", api " + std::to_string(registration.api) + ", record " +
                        std::to_string(registration.record.size()) + " bytes");
    }
    return lines;
}

std::vector<std::string> left_behind_report(const StandInHost& host) {
    const LeftBehind left = host.left_behind();
    if (left.empty()) return {"nothing left behind"};
    std::vector<std::string> lines = {"left behind:"};
    for (const std::string& line : left.lines()) lines.push_back("  " + line);
    return lines;
}

}  // namespace tmhost
