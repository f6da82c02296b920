#include "host/commands/command_line.h"

#include <cerrno>
#include <cstdlib>

#include "host/commands/command_error.h"
#include "host/commands/text_table.h"

namespace tmhost {

namespace {

const OptionRule* find_rule(const std::vector<OptionRule>& rules, const std::string& name) {
    for (const OptionRule& rule : rules) {
        if (name == rule.name || (rule.alias != nullptr && name == rule.alias)) return &rule;
    }
    return nullptr;
}

std::string with_value(const OptionRule& rule, const char* name) {
    if (!rule.takes_value) return name;
    return std::string(name) + " " + (rule.value_name != nullptr ? rule.value_name : "VALUE");
}

}  // namespace

std::string option_synopsis(const OptionRule& rule) {
    return "[" + with_value(rule, rule.alias != nullptr ? rule.alias : rule.name) + "]" +
           (rule.repeatable ? "..." : "");
}

std::vector<std::string> option_help(const OptionRule& rule) {
    std::vector<std::string> lines = {
        "  " + (rule.alias != nullptr ? std::string(rule.alias) + ", " : "") +
        with_value(rule, rule.name)};
    std::string text = rule.help != nullptr ? rule.help : "";
    if (rule.values != nullptr) text += (text.empty() ? "" : "; ") + std::string(rule.values);
    if (rule.repeatable) text += (text.empty() ? "" : "; ") + std::string("may be repeated");
    for (std::string& line : wrap_text(text, 6)) lines.push_back(std::move(line));
    return lines;
}

CommandLine::CommandLine(const std::vector<std::string>& arguments,
                         const std::vector<OptionRule>& rules, const char* positional) {
    bool options_ended = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--" && !options_ended) {
            options_ended = true;
            continue;
        }
        if (options_ended || argument.size() < 2 || argument[0] != '-') {
            if (positional_) {
                throw UsageError("more than one " + std::string(positional) + ": '" + *positional_ +
                                 "' and '" + argument + "'");
            }
            positional_ = argument;
            continue;
        }
        const std::size_t equals =
            argument.rfind("--", 0) == 0 ? argument.find('=') : std::string::npos;
        const std::string name = argument.substr(0, equals);
        const OptionRule* rule = find_rule(rules, name);
        if (rule == nullptr) throw UsageError("unknown option '" + name + "'");
        std::vector<std::string>& given = values_[rule->name];
        if (!given.empty() && !rule->repeatable) {
            throw UsageError(std::string(rule->name) + " given more than once");
        }
        if (!rule->takes_value) {
            if (equals != std::string::npos) {
                throw UsageError(std::string(rule->name) + " takes no value");
            }
            given.emplace_back();
            continue;
        }
        if (equals != std::string::npos) {
            given.push_back(argument.substr(equals + 1));
        } else if (i + 1 < arguments.size()) {
            given.push_back(arguments[++i]);
        } else {
            throw UsageError(std::string(rule->name) + " needs a value");
        }
    }
}

std::optional<std::string> CommandLine::value(const char* name) const {
    const auto found = values_.find(name);
    if (found == values_.end() || found->second.empty()) return std::nullopt;
    return found->second.back();
}

std::vector<std::string> CommandLine::values(const char* name) const {
    const auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>() : found->second;
}

std::optional<int> CommandLine::integer(const char* name, int min, int max) const {
    const std::optional<std::string> text = value(name);
    if (!text) return std::nullopt;
    const std::string expected = std::string(name) + ": expected a whole number from " +
                                 std::to_string(min) + " to " + std::to_string(max) + ", got '" +
                                 *text + "'";
    if (text->empty() || text->find_first_not_of("+-0123456789") != std::string::npos) {
        throw UsageError(expected);
    }
    errno = 0;
    char* end = nullptr;
    const long long number = std::strtoll(text->c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || number < min || number > max) {
        throw UsageError(expected);
    }
    return static_cast<int>(number);
}

}  // namespace tmhost
