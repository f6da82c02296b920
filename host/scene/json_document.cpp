#include "host/scene/json_document.h"

#include "host/json/json_text.h"
#include "host/scene/scene_error.h"

namespace tmhost {

nlohmann::json parse_json_document(const std::string& text) {
    JsonLimits limits;
    limits.unique_keys = true;
    try {
        return parse_json_text(text, limits);
    } catch (const JsonTextError& error) {
        throw SceneError(error.what());
    }
}

}  // namespace tmhost
