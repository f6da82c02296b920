// The options of the render and describe commands: "--name VALUE", "--name=VALUE", short
// aliases, repeatable options and at most one plain argument. Every fault is a RenderError that
// names the option.
#ifndef TMHOST_COMMAND_LINE_H
#define TMHOST_COMMAND_LINE_H

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tmhost {

struct OptionRule {
    const char* name;   // "--width"
    const char* alias;  // "-o", or null
    bool takes_value;
    bool repeatable;
};

class CommandLine {
public:
    // `positional` names the one plain argument in messages ("scene file").
    CommandLine(const std::vector<std::string>& arguments, const std::vector<OptionRule>& rules,
                const char* positional);

    bool has(const char* name) const { return values_.count(name) != 0; }
    // The last value given, or none.
    std::optional<std::string> value(const char* name) const;
    std::vector<std::string> values(const char* name) const;
    const std::optional<std::string>& positional() const { return positional_; }

    // The option's value as a whole number from min to max, or none when not given.
    std::optional<int> integer(const char* name, int min, int max) const;

private:
    std::map<std::string, std::vector<std::string>> values_;
    std::optional<std::string> positional_;
};

}  // namespace tmhost

#endif
