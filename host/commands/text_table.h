// A plain table for a terminal: a header row, then rows, every column as wide as its widest
// cell, two spaces between columns and no trailing blanks; and text wrapped to a terminal's width.
#ifndef TMHOST_TEXT_TABLE_H
#define TMHOST_TEXT_TABLE_H

#include <string>
#include <vector>

namespace tmhost {

std::vector<std::string> format_table(const std::vector<std::vector<std::string>>& rows);

// The text in lines of at most `width` columns, each starting with `indent` spaces, broken at
// spaces; a word longer than a line stands alone on its line. No lines for blank text.
std::vector<std::string> wrap_text(const std::string& text, std::size_t indent,
                                   std::size_t width = 80);

}  // namespace tmhost

#endif
