// A plain table for a terminal: a header row, then rows, every column as wide as its widest
// cell, two spaces between columns and no trailing blanks.
#ifndef TMHOST_TEXT_TABLE_H
#define TMHOST_TEXT_TABLE_H

#include <string>
#include <vector>

namespace tmhost {

std::vector<std::string> format_table(const std::vector<std::vector<std::string>>& rows);

}  // namespace tmhost

#endif
