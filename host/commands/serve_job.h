// What a page's requests ask of tonemix-host serve, typed. A render or a sheet: the scene the
// server keeps, the image size and pixel samples as the page asked for them, and the values over
// the scene's; the Reproduce line a page shows is written from it. An image: its look.
#ifndef TMHOST_SERVE_JOB_H
#define TMHOST_SERVE_JOB_H

#include <optional>
#include <string>
#include <vector>

#include "host/commands/command.h"
#include "host/commands/image_output.h"
#include "host/commands/serve_query.h"
#include "host/render/prepared_scene.h"
#include "host/scene/camera_view.h"
#include "host/scene/model_stage.h"

namespace tmhost {

// A whole number of a query within a range, or none when the query has none; throws
// UsageError "width: expected a whole number from 1 to 16384, got 'x'".
std::optional<int> query_integer(const ServeQuery& query, const char* name, int lowest,
                                 int highest);

// The camera view of a query (orbit=AZ,EL, zoom=F, pan=X,Y) into the job, with the options that
// give it. Throws UsageError "orbit: expected ..." for a bad value.
struct ServeJob;
void read_query_view(const ServeQuery& query, ServeJob& job);

// The exposure and tone map of a query (exposure=EV, tonemap=NAME), as --exposure and --tonemap
// take them; exposure 0 is none, so that a float image keeps its values bit for bit.
ImageLook query_look(const ServeQuery& query);
// The image encoded as a file of that format with that look.
std::string encoded_image(const Image& image, const std::string& format, const ImageLook& look);

struct ServeJob {
    std::optional<std::string> path;  // the scene's file; none for the built-in scene
    SceneCache::Entry scene;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> pixel_samples;
    std::vector<std::string> assignments;  // NAME=VALUE, as --set takes them
    StageOptions stage;                    // the server's, for a model file
    CameraView view;                       // orbit=, zoom=, pan=
    std::vector<std::string> view_words;   // --camera-orbit and so on, as the query wrote them

    ImageSize size() const { return image_size(scene.scene->loaded.scene, width, height); }
    // The render command's words that make the same image, the output left out.
    CommandArguments arguments() const;
};

}  // namespace tmhost

#endif
