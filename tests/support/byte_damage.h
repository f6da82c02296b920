// Files damaged at random for the readers' tests: a few bytes replaced, dropped or doubled, from a
// fixed seed, so that a failing round comes back on every run.
#ifndef TONEMIX_TEST_BYTE_DAMAGE_H
#define TONEMIX_TEST_BYTE_DAMAGE_H

#include <cstdint>
#include <string>

namespace tonemix_test {

class ByteDamage {
public:
    // The replacing and inserted bytes come from `alphabet`, or are any byte when it is empty: a
    // text reader's faults hide behind the characters of its own syntax.
    explicit ByteDamage(std::uint32_t seed, std::string alphabet = {})
        : state_(seed), alphabet_(std::move(alphabet)) {}

    // `original` with 1 to `most_edits` edits at random places.
    std::string damaged(const std::string& original, std::uint32_t most_edits) {
        std::string bytes = original;
        for (std::uint32_t edits = 1 + next(most_edits); edits > 0; --edits) {
            const std::size_t at = next(static_cast<std::uint32_t>(bytes.size()));
            const char c = alphabet_.empty()
                               ? static_cast<char>(next(256))
                               : alphabet_[next(static_cast<std::uint32_t>(alphabet_.size()))];
            switch (next(3)) {
            case 0:
                bytes[at] = c;
                break;
            case 1:
                bytes.erase(at, 1);
                break;
            default:
                bytes.insert(at, 1, c);
                break;
            }
        }
        return bytes;
    }

private:
    std::uint32_t next(std::uint32_t n) {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) % n;
    }

    std::uint32_t state_;
    std::string alphabet_;
};

}  // namespace tonemix_test

#endif
