#include "host/core/journal.h"

#include <cstdio>
#include <utility>

#include "host/core/text_format.h"

namespace tmhost {

long Journal::add(std::string_view operation, std::initializer_list<uint32_t> words,
                  bool failed_on_request, std::string text) {
    if (!enabled_) return -1;
    JournalEntry entry;
    entry.operation = operation;
    entry.words.assign(words.begin(), words.end());
    entry.text = std::move(text);
    entry.failed_on_request = failed_on_request;
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(std::move(entry));
    return static_cast<long>(entries_.size() - 1);
}

void Journal::annotate(long index, std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= 0 && static_cast<std::size_t>(index) < entries_.size()) {
        entries_[static_cast<std::size_t>(index)].text = std::move(text);
    }
}

std::size_t Journal::count(std::string_view operation) const {
    std::size_t n = 0;
    for (const JournalEntry& entry : entries_) {
        if (entry.operation == operation) ++n;
    }
    return n;
}

std::vector<std::string> Journal::operations() const {
    std::vector<std::string> names;
    names.reserve(entries_.size());
    for (const JournalEntry& entry : entries_) names.emplace_back(entry.operation);
    return names;
}

bool Journal::contains_in_order(std::initializer_list<std::string_view> operations) const {
    auto wanted = operations.begin();
    for (const JournalEntry& entry : entries_) {
        if (wanted == operations.end()) break;
        if (entry.operation == *wanted) ++wanted;
    }
    return wanted == operations.end();
}

long Journal::find(std::string_view operation, std::size_t from) const {
    for (std::size_t i = from; i < entries_.size(); ++i) {
        if (entries_[i].operation == operation) return static_cast<long>(i);
    }
    return -1;
}

std::string Journal::to_text() const {
    std::string out;
    for (const JournalEntry& entry : entries_) {
        out += entry.operation;
        out += '(';
        for (std::size_t i = 0; i < entry.words.size(); ++i) {
            char word[16];
            std::snprintf(word, sizeof word, "%s0x%x", i == 0 ? "" : ", ",
                          static_cast<unsigned>(entry.words[i]));
            out += word;
        }
        out += ')';
        if (!entry.text.empty()) out += ' ' + quoted(entry.text);
        if (entry.failed_on_request) out += " [failed on request]";
        out += '\n';
    }
    return out;
}

}  // namespace tmhost
