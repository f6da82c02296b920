#include "host/core/string_store.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tmhost {

namespace {
constexpr uint32_t STRING_STARTED = 0x53544d54;  // "TMTS"
constexpr uint32_t STRING_ENDED = 0x44535444;    // "DTSD"
}  // namespace

StringStore::StringStore(MisuseLog& misuses)
    : misuses_(misuses), values_("string", STRING_STARTED, STRING_ENDED, misuses) {}

void StringStore::init(HostStringHandle s) { values_.start(s, "string_init"); }

void StringStore::set_cstr(HostStringHandle s, const char* text, int32_t length, int32_t zero) {
    std::string* value = values_.find(s, "string_set_cstr");
    if (value == nullptr) return;
    if (zero != 0) misuses_.add("string_set_cstr: fourth argument is not 0");
    if (length < -1) {
        misuses_.add("string_set_cstr: negative length other than -1");
        return;
    }
    if (text == nullptr) {
        if (length > 0) {
            misuses_.add("string_set_cstr: null text with a non-zero length");
            return;
        }
        // Answered as the empty text, but a module that hands over no text at all has lost it.
        misuses_.add("string_set_cstr: null text");
        value->clear();
        return;
    }
    // A length never makes the host read past the text's NUL: a count longer than the text takes
    // the text, not the bytes after it.
    std::size_t count = 0;
    if (length == -1) {
        count = std::strlen(text);
    } else {
        while (count < static_cast<std::size_t>(length) && text[count] != '\0') ++count;
    }
    value->assign(text, count);
}

void StringStore::copy(HostStringHandle source, HostStringHandle destination) {
    const std::string* from = values_.find(source, "string_copy");
    std::string* to = values_.find(destination, "string_copy");
    if (from == nullptr || to == nullptr) return;
    if (from != to) *to = *from;
}

int32_t StringStore::length(HostStringHandle s) {
    const std::string* value = values_.find(s, "string_length");
    return value != nullptr ? static_cast<int32_t>(value->size()) : 0;
}

int32_t StringStore::insert(HostStringHandle s, int32_t position, HostStringHandle other) {
    std::string* value = values_.find(s, "string_insert");
    const std::string* inserted = values_.find(other, "string_insert");
    if (value == nullptr || inserted == nullptr) return 0;
    const std::string copy = *inserted;  // other may be s itself
    const int32_t size = static_cast<int32_t>(value->size());
    // Put at the nearer end, as before, but the module asked for a place the string does not have.
    if (position < 0 || position > size) {
        misuses_.add("string_insert: position " + std::to_string(position) + " outside 0.." +
                     std::to_string(size));
    }
    const int32_t at = std::min(std::max(position, 0), size);
    value->insert(static_cast<std::size_t>(at), copy);
    return 1;
}

void StringStore::free(HostStringHandle s) { values_.end(s, "string_free"); }

void StringStore::start(HostStringHandle s, const std::string& text) {
    std::string* value = values_.start(s, "string_init");
    if (value != nullptr) *value = text;
}

std::vector<std::string> StringStore::live_texts() const {
    std::vector<std::string> texts;
    for (const auto& live : values_.live()) texts.push_back(*live.value);
    return texts;
}

}  // namespace tmhost
