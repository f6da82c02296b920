#include "host/scene/json_document.h"

#include "host/scene/scene_error.h"

namespace tmhost {

nlohmann::json parse_json_document(const std::string& text, const ArrayCap& cap) {
    JsonLimits limits;
    limits.unique_keys = true;
    limits.cap = cap;
    try {
        return parse_json_text(text, limits);
    } catch (const JsonTextError& error) {
        throw SceneError(error.what());
    }
}

}  // namespace tmhost
