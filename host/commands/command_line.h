// The options of the render and describe commands: "--name VALUE", "--name=VALUE", short
// aliases, repeatable options and at most one plain argument; "--" ends the options, so that the
// plain argument may start with "-". Every fault is a UsageError that names the option.
#ifndef TMHOST_COMMAND_LINE_H
#define TMHOST_COMMAND_LINE_H

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tmhost {

// One option of a command: what the parser accepts and what the command's help says of it. A
// command keeps one table of these for both, so its help always lists what it reads. A rule is
// made by name, never from a row of bare values:
//   OptionRule::valued("--set", "NAME=VALUE", "a shader parameter").repeated()
//   OptionRule::flag("--verbose", "report every step").with_alias("-v")
// The texts are not copied: each lives as long as the program.
class OptionRule {
public:
    // An option that stands alone: "--json".
    static constexpr OptionRule flag(const char* name, const char* help) {
        OptionRule rule;
        rule.name = name;
        rule.help = help;
        return rule;
    }
    // An option that takes a value, which help shows as `value_name` ("W"; null: "VALUE").
    static constexpr OptionRule valued(const char* name, const char* value_name, const char* help) {
        OptionRule rule = flag(name, help);
        rule.takes_value = true;
        rule.value_name = value_name;
        return rule;
    }
    // The same rule with a short alias ("-o"), with what help says of its values ("1 to
    // 16384; default: the scene's"), or given any number of times.
    constexpr OptionRule with_alias(const char* short_name) const {
        OptionRule rule = *this;
        rule.alias = short_name;
        return rule;
    }
    constexpr OptionRule with_values(const char* text) const {
        OptionRule rule = *this;
        rule.values = text;
        return rule;
    }
    constexpr OptionRule repeated() const {
        OptionRule rule = *this;
        rule.repeatable = true;
        return rule;
    }

    const char* name = nullptr;   // "--width"
    const char* alias = nullptr;  // "-o", or null
    bool takes_value = false;
    bool repeatable = false;
    const char* value_name = nullptr;  // "W", as help shows the value; null: "VALUE"
    const char* values = nullptr;      // "1 to 16384; default: the scene's", or null
    const char* help = nullptr;        // what the option does, one sentence without a full stop

private:
    constexpr OptionRule() {}
};

// "[-o FILE]" or "[--set NAME=VALUE]...", as a command's synopsis shows the option.
std::string option_synopsis(const OptionRule& rule);
// The option's help: "  -o, --output FILE" and, indented below it, what it does and its values,
// wrapped to 80 columns.
std::vector<std::string> option_help(const OptionRule& rule);

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
