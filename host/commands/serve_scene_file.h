// The scene file serve's page downloads: the scene as its file writes it, with the values the
// page set written into it, so that the file renders what the page showed.
#ifndef TMHOST_SERVE_SCENE_FILE_H
#define TMHOST_SERVE_SCENE_FILE_H

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/core/description.h"
#include "host/scene/scene.h"

namespace tmhost {

// `scene_text`: the scene file's text (its keys keep their order). `described`: describe --json's
// document for the scene with the `assignments` ("NAME=VALUE", as --set takes them), whose values
// in their own types are the ones written. Each assigned parameter goes into the "shader" object
// under its full name (any other name of it goes); the light list and its mode go into
// "light_list", which governs the list mode of a scene that has one. `folder`, the file's folder
// (none for the built-in scene), makes a mesh's relative path absolute, so that the file finds
// its mesh wherever it is saved. `size`, the page's image width and height, replaces the file's
// "image"; `camera`, the page's turned view, its "camera". Answers the file's text; throws
// nlohmann::json's errors for text that is no JSON.
std::string scene_file_with_values(const std::string& scene_text,
                                   const std::optional<std::filesystem::path>& folder,
                                   const Description& description, const nlohmann::json& described,
                                   const std::vector<std::string>& assignments,
                                   std::optional<std::pair<int, int>> size = std::nullopt,
                                   const std::optional<Camera>& camera = std::nullopt);

}  // namespace tmhost

#endif
