// The reading that the text mesh formats (OBJ, text STL) share: lines as every system ends them,
// the fields of a line, a token quoted for a message, and the checks of a number field. A mesh
// file has a line for every vertex and face, millions of them: nothing here allocates per line.
#ifndef TMHOST_MESH_TEXT_H
#define TMHOST_MESH_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tmhost {

// The lines of a text, ending at "\n", "\r\n" or a lone "\r", so that files from every system
// count lines alike.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}

    // The next line without its end; false after the last.
    bool next(std::string_view& line) {
        if (at_ >= text_.size()) return false;
        std::size_t end = at_;
        while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') ++end;
        line = text_.substr(at_, end - at_);
        ++number_;
        at_ = end;
        if (at_ < text_.size()) {
            at_ += text_[at_] == '\r' && at_ + 1 < text_.size() && text_[at_ + 1] == '\n' ? 2 : 1;
        }
        return true;
    }

    // The number of the line last given, from 1 (0 before the first).
    std::size_t number() const { return number_; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t number_ = 0;
};

// The fields of one line as blanks and tabs separate them, in storage that the next line reuses.
class LineFields {
public:
    void split(std::string_view line) {
        fields_.clear();
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            const std::size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
            if (i > start) fields_.push_back(line.substr(start, i - start));
        }
    }

    std::size_t size() const { return fields_.size(); }
    bool empty() const { return fields_.empty(); }
    std::string_view operator[](std::size_t i) const { return fields_[i]; }
    const std::string_view* begin() const { return fields_.data(); }
    const std::string_view* end() const { return fields_.data() + fields_.size(); }

private:
    std::vector<std::string_view> fields_;
};

// A token as a message shows it: in quotes, cut after 40 characters, control characters made '?'
// (a line of garbage is not repeated whole, nor does it reach a terminal raw).
std::string quoted_token(std::string_view token);

// "PATH: line N: WHAT" as a SceneError.
[[noreturn]] void fail_at_line(const std::string& path, std::size_t line, const std::string& what);

// A number field in decimal notation (is_decimal), or a SceneError at the line that names it.
void check_decimal(std::string_view token, const std::string& path, std::size_t line);

// Whether a token in decimal notation stands for a number within the doubles' range: whether its
// correctly rounded value (strtod's) is finite. Most tokens are decided by their count of digits
// alone; the few near the end of the range by strtod itself.
bool decimal_in_range(std::string_view token);

// A face's index field of at most nine digits after an optional sign, as strtol reads it; false
// for anything else (no digit, another character, a longer field).
bool short_integer(std::string_view text, long& value);

}  // namespace tmhost

#endif
