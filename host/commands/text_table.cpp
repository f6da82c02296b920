#include "host/commands/text_table.h"

#include <algorithm>

namespace tmhost {

std::vector<std::string> format_table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const std::vector<std::string>& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    std::vector<std::string> lines;
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c != 0) line += "  ";
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - row[c].size(), ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> wrap_text(const std::string& text, std::size_t indent, std::size_t width) {
    std::vector<std::string> lines;
    const std::string margin(indent, ' ');
    std::string line;
    std::size_t at = 0;
    while (true) {
        at = text.find_first_not_of(" \t\n", at);
        if (at == std::string::npos) break;
        std::size_t end = text.find_first_of(" \t\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        at = end;
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += line.empty() ? margin + word : " " + word;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace tmhost
