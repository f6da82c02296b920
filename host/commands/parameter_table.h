// The parameter table of tonemix-host describe: one row per parameter with the scene's value and
// the module's answer to whether it is enabled, shown as a table for a terminal or as JSON.
#ifndef TMHOST_PARAMETER_TABLE_H
#define TMHOST_PARAMETER_TABLE_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/commands/command.h"
#include "host/core/description.h"
#include "host/loading/module_session.h"
#include "host/render/scene_source.h"

namespace tmhost {

struct ParameterRow {
    const Parameter* parameter = nullptr;  // in the session's description
    std::string default_text;              // "-" when the description gives none
    std::string value_text;                // "-" when the node holds none
    nlohmann::json value;                  // in its own type; null when the node holds none
    std::string range_text;                // "0 .. 1024", "0: scatter, 1: along the normal" or "-"
    bool enabled = false;

    bool differs() const { return value_text != "-" && value_text != default_text; }
};

struct ParameterTable {
    int shader = 0;
    std::string description;  // the description's name
    std::string values_of;    // "the built-in scene", "the scene scenes/a.json"
    std::vector<ParameterRow> rows;
};

// A title, a table of short name, type, default, value (marked where it is not the default) and
// enabled, each row followed by the parameter's help and range, indented; 80 columns.
std::vector<std::string> parameter_table_lines(const ParameterTable& sheet);
// The same as one JSON document, in lines.
std::vector<std::string> parameter_table_json(const ParameterTable& sheet);

// The sheet of a scene already read, with `assignments` (--set's NAME=VALUE) over its values, in
// the session: one node made, asked and freed. `from_file` names the scene as a file in
// values_of. A shader's reach that does not fit the scene is a warning in `output`. Throws
// RenderError for a bad value, as --set does.
ParameterTable described_parameters(ModuleSession& session, LoadedScene loaded, bool from_file,
                                    const std::vector<std::string>& assignments,
                                    CommandOutput& output);

}  // namespace tmhost

#endif
