// Hostile variants of good input files, made from a seed so that a failing case can be made
// again: byte damage, numbers and strings at their limits, truncation, splices of another file,
// and nesting far deeper than any real file (which byte damage alone never reaches).
#ifndef TONEMIX_FUZZ_MUTATIONS_H
#define TONEMIX_FUZZ_MUTATIONS_H

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tonemix_fuzz {

class Mutator {
public:
    explicit Mutator(uint32_t seed) : random_(seed) {}

    // One variant of `text`, with one or two mutations (mostly a number made hostile); `other` is
    // spliced in by some.
    std::string mutate(const std::string& text, const std::string& other);
    // The document with its first value of `key` (or the whole document) wrapped `levels` deep in
    // arrays or in objects.
    std::string nest(const std::string& text, const std::string& key, int levels);
    // A value a careless user or a broken file might give: extremes, wrong types, control bytes.
    std::string hostile_value();

    uint32_t below(uint32_t bound) { return bound == 0 ? 0 : random_() % bound; }

private:
    std::string mutate_once(const std::string& text, const std::string& other);

    std::mt19937 random_;
};

}  // namespace tonemix_fuzz

#endif
