// A module's parameter description, read once when its resource is loaded: the typed model that
// the description library registers, info checks the defaults against and the commands present.
// The model is plain values; the JSON it is read from stays in description.cpp.
//
// A description file is JSON: a "name", optional "groups" (id and label) and a "parameters" array
// whose entries carry an id, a name ("TONEMIX_SAMPLES"), a type word ("long", "real", "bool",
// "lightlist"), and optionally a label, group, help text, default, min, max, choices and, for a
// custom-data parameter, the library id of its custom type.
#ifndef TMHOST_DESCRIPTION_H
#define TMHOST_DESCRIPTION_H

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/core/container_store.h"

namespace tmhost {

enum class ParameterType { integer, real, boolean, light_list };

// "long", "real", "bool", "lightlist": the description's own words.
const char* parameter_type_name(ParameterType type);

struct ParameterChoice {
    int32_t value = 0;
    std::string label;
};

// A default or a bound as the description wrote it: its kind and the JSON text that wrote it, so
// that it can be shown as written (9223372036854775807 stays that) and written out again.
struct WrittenValue {
    enum class Kind { none, integer, real, boolean, other };
    Kind kind = Kind::none;
    std::string json;     // compact JSON text; empty for none
    double number = 0.0;  // integer and real: the value as a double
    // integer: the value, when it fits 32 bits (a wider one would wrap into some other number)
    std::optional<int32_t> word;
    bool boolean = false;

    bool given() const { return kind != Kind::none; }
};

struct Parameter {
    int32_t id = 0;
    std::string name;        // as the description writes it: "TONEMIX_SAMPLES"
    std::string short_name;  // without the prefix, lower case: "samples"
    std::string label;
    std::string group;  // the group's label, or its id when it has none
    std::string help;
    ParameterType type = ParameterType::integer;
    int32_t custom_type = 0;     // the custom data's library id; 0 when not given
    WrittenValue default_value;  // none when the description gives none
    std::optional<double> min;
    std::optional<double> max;
    // The bounds as written, for showing them where a double would not: 9223372036854775807.
    WrittenValue min_written;  // none when there is no min
    WrittenValue max_written;
    std::vector<ParameterChoice> choices;

    // The element init_defaults must write for the default; none when there is no default or the
    // host cannot hold it in this type (a light list, a long of 2.5).
    std::optional<Element> default_element() const;
};

// A description file that is no description at all: malformed JSON (a key twice in one object
// too), a top level that is no object, or no string "name".
class DescriptionTextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Description {
public:
    // A description file's text. Throws DescriptionTextError when the text is malformed JSON or
    // holds a key twice in one object (the parser's line, with its place: "line 3, column 5:
    // parameters[0]: key \"name\" appears twice"), is not an object ("top level: expected an
    // object, not an array"), or has no string "name" ("name: missing"). A description the host
    // cannot present keeps the parameters read before the fault and says what it is, with the
    // path of its key, in fault(): no parameter array; a parameter without id, name or a known
    // type; a name a command line cannot give; an id or name given twice (naming both); a light
    // list without its custom type; a long's bound beyond 32 bits, min above max; a malformed
    // group, bound or choice, or two choices of one value or label.
    static Description read(const std::string& file_text);

    const std::string& name() const { return name_; }
    const std::vector<Parameter>& parameters() const { return parameters_; }
    // "description NAME: what is wrong", or empty when the description can be presented.
    const std::string& fault() const { return fault_; }

    // By the description's name or by the short one, in any letter case: "TONEMIX_SAMPLES",
    // "samples" and "Samples" all name the same parameter. Null when none has that name.
    const Parameter* find(const std::string& name) const;
    const Parameter* find(int32_t id) const;
    // The first parameter of the type, or null.
    const Parameter* find(ParameterType type) const;

    // "samples, distance, ...": every parameter a value can be given for, for messages.
    std::string short_names() const;

private:
    std::string name_;
    std::vector<Parameter> parameters_;
    std::string fault_;
};

}  // namespace tmhost

#endif
