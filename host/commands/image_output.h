// Where a render goes: a PNG, PFM or OpenEXR file, chosen by the file's extension. The choice and
// the folder are checked before any rendering, so a long render never ends in "cannot write". A
// path that is a symbolic link is written through: the image replaces the file the link names.
#ifndef TMHOST_IMAGE_OUTPUT_H
#define TMHOST_IMAGE_OUTPUT_H

#include <string>

#include "host/image/image.h"

namespace tmhost {

enum class ImageFormat { png, pfm, exr };

class ImageOutput {
public:
    // Throws RenderError for an extension other than .png, .pfm or .exr (any letter case), a path
    // that names a folder, a folder that does not exist (for a link, the folder of the file it
    // names), or a folder that takes no file: a temporary file is written there and removed.
    explicit ImageOutput(std::string path);

    const std::string& path() const { return path_; }

    // The whole image under a temporary name, renamed into place once complete; throws
    // RenderError when the file cannot be written (any earlier file stays as it was).
    void write(const Image& image) const;

private:
    std::string path_;
    ImageFormat format_;
};

}  // namespace tmhost

#endif
