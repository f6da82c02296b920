#include "host/commands/host_report.h"

#include <cstring>

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

namespace {

std::string registration_text(const PluginRegistration& registration) {
    return "plug-in " + std::to_string(registration.id) + " " + quoted(registration.name) +
           ", type " + std::to_string(registration.type) + ", api " +
           std::to_string(registration.api) + ", record " +
           std::to_string(registration.record.size()) + " bytes";
}

}  // namespace

std::vector<std::string> registration_report(const StandInHost& host) {
    const std::vector<PluginRegistration>& list = host.registrations().list();
    std::vector<std::string> lines;
    lines.push_back(list.empty() ? "registrations: none" : "registrations:");
    for (const PluginRegistration& registration : list) {
        lines.push_back("  " + registration_text(registration));
    }
    return lines;
}

std::string registration_summary(const StandInHost& host) {
    const std::vector<PluginRegistration>& list = host.registrations().list();
    if (list.empty()) return "registration: none";
    std::string line = list.size() == 1 ? "registration: " : "registrations: ";
    for (std::size_t i = 0; i < list.size(); ++i) {
        line += (i == 0 ? "" : "; ") + registration_text(list[i]);
    }
    return line;
}

namespace {

enum class FieldKind { value, entry, zero };

struct RecordField {
    int32_t byte;
    int32_t words;
    FieldKind kind;
    const char* name;
};

// In the record's own order, which is not the order of the node's slots.
const RecordField record_fields[] = {
    {0, 1, FieldKind::value, "info"},
    {4, 1, FieldKind::entry, "free_node"},
    {8, 6, FieldKind::zero, ""},
    {32, 1, FieldKind::value, "sixth word"},
    {36, 1, FieldKind::zero, ""},
    {40, 1, FieldKind::value, "seventh word"},
    {44, 1, FieldKind::zero, ""},
    {48, 1, FieldKind::value, "extra word"},
    {52, 1, FieldKind::entry, "create"},
    {56, 1, FieldKind::entry, "init_defaults, slot 1"},
    {60, 1, FieldKind::entry, "node_hook_2, slot 2"},
    {64, 1, FieldKind::entry, "node_hook_3, slot 3"},
    {68, 1, FieldKind::entry, "node_hook_4, slot 4"},
    {72, 1, FieldKind::entry, "node_hook_6, slot 6"},
    {76, 1, FieldKind::entry, "node_hook_5, slot 5"},
    {80, 1, FieldKind::entry, "node_hook_8, slot 8"},
    {84, 1, FieldKind::entry, "node_hook_7, slot 7"},
    {88, 1, FieldKind::entry, "node_hook_10, slot 10"},
    {92, 1, FieldKind::entry, "node_hook_11, slot 11"},
    {96, 1, FieldKind::entry, "node_hook_13, slot 13"},
    {100, 1, FieldKind::entry, "is_parameter_enabled, slot 12"},
    {104, 1, FieldKind::entry, "node_hook_9, slot 9"},
    {108, 13, FieldKind::zero, ""},
    {160, 1, FieldKind::entry, "shader_hook_15, slot 15"},
    {164, 1, FieldKind::entry, "prepare_render, slot 16"},
    {168, 1, FieldKind::entry, "release_render, slot 17"},
    {172, 1, FieldKind::entry, "shader_hook_14, slot 14"},
    {176, 1, FieldKind::entry, "compute_output, slot 18"},
    {180, 27, FieldKind::zero, ""},
};

uint32_t record_word(const ShaderRegistration& record, int32_t byte) {
    uint32_t word;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&record) + byte, sizeof word);
    return word;
}

}  // namespace

std::vector<std::string> shader_record_report(const ShaderRegistration& record) {
    std::vector<std::string> lines;
    for (const RecordField& field : record_fields) {
        const uint32_t first = record_word(record, field.byte);
        switch (field.kind) {
        case FieldKind::value:
            lines.push_back("byte " + std::to_string(field.byte) + " " + field.name + ": " +
                            std::to_string(static_cast<int32_t>(first)));
            break;
        case FieldKind::entry:
            lines.push_back("byte " + std::to_string(field.byte) + " " + field.name + ": " +
                            (first != 0 ? "set" : "null"));
            break;
        case FieldKind::zero: {
            bool zero = true;
            for (int32_t w = 0; w < field.words; ++w) {
                zero = zero && record_word(record, field.byte + 4 * w) == 0;
            }
            const int32_t last = field.byte + 4 * field.words - 1;
            const std::string where = field.words == 1 ? "byte " + std::to_string(field.byte)
                                                       : "bytes " + std::to_string(field.byte) +
                                                             "-" + std::to_string(last);
            lines.push_back(where + ": " + (zero ? "zero" : "not zero"));
            break;
        }
        }
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
