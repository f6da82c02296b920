// The record of every host operation the module called through the table, in call order.
//
// Each entry carries the operation's name, its argument words as the module passed them (pointers
// and reals as their 32-bit patterns) and, where it helps, text: a string's content, a path, an
// allocation's tag. Tests assert on sequences ("exactly one container_find_index", "no
// filename_alloc happened") rather than on the host's inner state.
#ifndef TMHOST_JOURNAL_H
#define TMHOST_JOURNAL_H

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tmhost {

struct JournalEntry {
    std::string_view operation;  // one of the names of operations.h
    std::vector<uint32_t> words;
    std::string text;
    bool failed_on_request = false;  // fail() made the operation answer its failure value
};

// Entries may be added from several threads at once (a parallel renderer calling render_*); the
// reading functions are for when the calls have stopped.
class Journal {
public:
    // The entry's index, or -1 when the journal is switched off: then nothing is built, so that
    // the millions of calls of a render with the journal off allocate nothing.
    long add(std::string_view operation, std::initializer_list<uint32_t> words,
             bool failed_on_request = false, std::string text = std::string());
    const std::vector<JournalEntry>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    void clear() { entries_.clear(); }
    // Adds text to the entry at index, as add() answered it.
    void annotate(long index, std::string text);

    // A long render calls the host millions of times; switching the journal off keeps memory flat.
    void set_enabled(bool enabled) { enabled_ = enabled; }
    bool enabled() const { return enabled_; }

    std::size_t count(std::string_view operation) const;
    bool contains(std::string_view operation) const { return count(operation) != 0; }
    // The operations in the order called.
    std::vector<std::string> operations() const;
    // True when the given operations were called in this order, others allowed in between.
    bool contains_in_order(std::initializer_list<std::string_view> operations) const;
    // Index of the first entry at or after `from` for the operation; -1 when there is none.
    long find(std::string_view operation, std::size_t from = 0) const;
    // One line per entry, for failure messages of tests.
    std::string to_text() const;

private:
    std::mutex mutex_;
    std::vector<JournalEntry> entries_;
    bool enabled_ = true;
};

}  // namespace tmhost

#endif
