#include "host/json/json_text.h"

#include <iterator>
#include <vector>

#include "host/json/json_paths.h"

namespace tmhost {

using nlohmann::json;

namespace {

// Where the key just read starts: the parser has read up to its closing quote, and the opening
// one is the nearest quote before it that no backslash escapes. As a count of bytes read, as
// line_and_column takes it.
std::size_t key_start(const std::string& text, std::size_t bytes_read) {
    if (bytes_read < 2 || bytes_read > text.size()) return bytes_read;
    for (std::size_t at = bytes_read - 1; at-- > 0;) {
        if (text[at] != '"') continue;
        std::size_t backslashes = 0;
        while (backslashes < at && text[at - 1 - backslashes] == '\\') ++backslashes;
        if (backslashes % 2 == 0) return at + 1;
    }
    return bytes_read;
}

// nlohmann reports where it stopped as a count of bytes read; people want a line and a column.
// The position names the last byte read (the offending one), or the end of the text.
std::string line_and_column(const std::string& text, std::size_t bytes_read) {
    std::size_t at = bytes_read == 0 ? 0 : bytes_read - 1;
    if (at > text.size()) at = text.size();
    std::size_t line = 1;
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < at; ++i) {
        if (text[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(at - line_start + 1);
}

// "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error ..." carries
// nlohmann's own tag and position; keep only the description.
std::string describe(const json::exception& error) {
    std::string what = error.what();
    const std::size_t tag_end = what.find("] ");
    if (what.compare(0, 1, "[") == 0 && tag_end != std::string::npos) what.erase(0, tag_end + 2);
    if (what.compare(0, 11, "parse error") == 0) {
        const std::size_t colon = what.find(": ");
        if (colon != std::string::npos) what.erase(0, colon + 2);
    }
    return what;
}

// The text's bytes as the parser reads them, counting as they go. nlohmann's events carry no
// position, but the parser reads no further than the token it reports, so the count places an
// event: at the start of an array or object, it is the offset of the bracket plus one.
class CountedBytes {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountedBytes(const char* at, std::size_t* read) : at_(at), read_(read) {}

    reference operator*() const { return *at_; }
    CountedBytes& operator++() {
        ++at_;
        ++*read_;
        return *this;
    }
    bool operator==(const CountedBytes& other) const { return at_ == other.at_; }
    bool operator!=(const CountedBytes& other) const { return at_ != other.at_; }

private:
    const char* at_;
    std::size_t* read_;
};

// Builds the tree from nlohmann's event stream, so that a repeated key, nesting too deep and the
// position of every error (including number overflow, which the plain parser reports without
// one) can be caught.
class TreeBuilder {
public:
    TreeBuilder(const std::string& text, const std::size_t& bytes_read, const JsonLimits& limits)
        : text_(text), bytes_read_(bytes_read), limits_(limits) {}

    json take() { return std::move(root_); }

    bool null() { return place(nullptr); }
    bool boolean(bool value) { return place(value); }
    bool number_integer(json::number_integer_t value) { return place(value); }
    bool number_unsigned(json::number_unsigned_t value) { return place(value); }
    bool number_float(json::number_float_t value, const json::string_t&) { return place(value); }
    bool string(json::string_t& value) { return place(std::move(value)); }
    bool binary(json::binary_t& value) { return place(json::binary(std::move(value))); }

    bool start_object(std::size_t) { return open(json::object()); }
    bool start_array(std::size_t) { return open(json::array()); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(json::string_t& key) {
        if (skipped_ > 0) return true;
        if (limits_.unique_keys && open_.back()->contains(key)) {
            // Written as JSON writes it: a quote, a backslash or a line break in the key would
            // otherwise break the message's one line or its quotes.
            throw JsonTextError(line_and_column(text_, key_start(text_, bytes_read_)) + ": " +
                                path_label(paths_.back()) + ": key " + json(key).dump() +
                                " appears twice");
        }
        key_ = std::move(key);
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const json::exception& error) {
        throw JsonTextError(line_and_column(text_, position) +
                            ": malformed JSON: " + describe(error));
    }

private:
    // Stores a value where the stream is; answers the stored value and its path. Only the
    // innermost open container ever grows, so pointers to the outer ones stay valid.
    json* insert(json value, std::string* path) {
        if (open_.empty()) {
            root_ = std::move(value);
            path->clear();
            return &root_;
        }
        json& parent = *open_.back();
        if (parent.is_array()) {
            *path = element_path(paths_.back(), parent.size());
            parent.push_back(std::move(value));
            return &parent.back();
        }
        *path = member_path(paths_.back(), key_);
        json& slot = parent[key_];
        slot = std::move(value);
        return &slot;
    }

    // Counts an item of the capped array; answers whether it is one too many to build.
    bool past_cap() {
        if (open_.empty() || open_.back() != capped_) return false;
        ++capped_items_;
        return capped_->size() > limits_.cap.most;
    }

    bool place(json value) {
        if (skipped_ > 0 || past_cap()) return true;
        std::string path;
        insert(std::move(value), &path);
        return true;
    }

    bool open(json container) {
        if (open_.size() + skipped_ == limits_.max_depth) {
            throw JsonTextError(line_and_column(text_, bytes_read_) + ": nested more than " +
                                std::to_string(limits_.max_depth) + " levels deep");
        }
        if (skipped_ > 0 || past_cap()) {
            ++skipped_;
            return true;
        }
        const bool capped = limits_.cap.key != nullptr && open_.size() == 1 &&
                            open_.back() == &root_ && container.is_array() &&
                            key_ == limits_.cap.key;
        std::string path;
        json* slot = insert(std::move(container), &path);
        open_.push_back(slot);
        paths_.push_back(std::move(path));
        if (capped) {
            capped_ = slot;
            capped_items_ = 0;
        }
        return true;
    }

    bool close() {
        if (skipped_ > 0) {
            --skipped_;
            return true;
        }
        if (open_.back() == capped_ && limits_.cap.count != nullptr) {
            *limits_.cap.count = capped_items_;
        }
        open_.pop_back();
        paths_.pop_back();
        return true;
    }

    const std::string& text_;
    const std::size_t& bytes_read_;
    const JsonLimits limits_;
    json root_;
    std::vector<json*> open_;
    std::vector<std::string> paths_;
    std::string key_;
    json* capped_ = nullptr;
    std::size_t capped_items_ = 0;
    std::size_t skipped_ = 0;  // containers open inside items past the cap, not built
};

}  // namespace

json parse_json_text(const std::string& text, const JsonLimits& limits) {
    std::size_t bytes_read = 0;
    TreeBuilder builder(text, bytes_read, limits);
    const char* const begin = text.data();
    json::sax_parse(CountedBytes(begin, &bytes_read),
                    CountedBytes(begin + text.size(), &bytes_read), &builder);
    return builder.take();
}

}  // namespace tmhost
