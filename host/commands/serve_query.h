// The query of a request to tonemix-host serve ("scene=a.json&set=samples%3D16"), read into
// its pairs, and the command-line arguments a render request stands for.
#ifndef TMHOST_SERVE_QUERY_H
#define TMHOST_SERVE_QUERY_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tmhost {

class ServeQuery {
public:
    // Escapes ("%2C") and "+" (a space) undone; a "%" that starts no escape stays as it is.
    // Throws UsageError for a name that is not among `known`.
    ServeQuery(const std::string& query, const std::vector<std::string>& known);

    // The last value of the name, or none.
    std::optional<std::string> value(const std::string& name) const;
    // Every value of the name, in order.
    std::vector<std::string> values(const std::string& name) const;
    // The last value of the name as a whole number 0 or more, or none; throws UsageError for
    // any other text.
    std::optional<std::uint64_t> count(const std::string& name) const;

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
};

// The target's path and its query: "/api/render?width=4" is "/api/render" and "width=4".
std::pair<std::string, std::string> split_target(const std::string& target);

// The argument as a POSIX shell reads it back: as it is when it holds only characters no shell
// treats specially, else in single quotes.
std::string shell_word(const std::string& argument);

}  // namespace tmhost

#endif
