// Where a render goes: a PNG, PFM or OpenEXR file, its type given by --format or by the file's
// extension, or standard output ("-"), for a program that reads the image from a pipe. The choice
// and the folder are checked before any rendering, so a long render never ends in "cannot write".
// A path that is a symbolic link is written through: the image replaces the file the link names.
#ifndef TMHOST_IMAGE_OUTPUT_H
#define TMHOST_IMAGE_OUTPUT_H

#include <optional>
#include <string>
#include <vector>

#include "host/commands/command.h"
#include "host/image/file_identity.h"
#include "host/image/image.h"
#include "host/image/image_look.h"

namespace tmhost {

enum class ImageFormat { png, pfm, exr };

// What --exposure and --tonemap ask of the stored image. An 8-bit image takes both; a float image
// keeps the shader's values bit for bit unless an exposure is given, and never takes a tone map,
// which would throw away the range it is kept for.
struct ImageLook {
    std::optional<double> exposure;  // EV
    ToneMap tone_map = ToneMap::clamp;
};

// An exposure as text (--exposure's value, or a page's): a plain decimal number within
// +-kMostExposure. Throws UsageError "<name>: expected a number from -20 to 20, got '<text>'".
double exposure_value(const std::string& text, const std::string& name);
// A tone map by its name (--tonemap's value, or a page's). Throws UsageError "<name>: unknown
// tone map '<text>' (expected clamp, reinhard or filmic)".
ToneMap tone_map_value(const std::string& text, const std::string& name);

// The files a command reads, which none of its outputs may replace: the module file, every file
// of its resource folder ("res" beside it), and the scene file and its mesh files (none for a
// scene read from standard input, "-").
FilesRead files_read_by(const std::string& module,
                        const std::optional<std::string>& scene_path = std::nullopt,
                        const std::vector<std::string>& mesh_files = {});

// Throws OutputRefused "<path>: cannot write: it is the module file" (or the file of the module's
// res folder, the scene file, the scene's mesh file) when `path` names one of `read`, by whatever
// name; a new file, or standard output ("-"), is never one of them.
void refuse_files_read(const std::string& path, const FilesRead& read);

class ImageOutput {
public:
    // `format` is "png", "pfm" or "exr" in any letter case, or none to take the extension's.
    // Throws UsageError for a format or an extension other than those (any letter case), a
    // format the file's extension contradicts, or standard output without a format or while it
    // is a terminal; OutputRefused for a path that names a folder, a folder that does not exist
    // (for a link, the folder of the file it names), or a folder that takes no file: a temporary
    // file is written there and removed.
    ImageOutput(std::string path, const std::optional<std::string>& format, bool stdout_is_terminal,
                ImageLook look = {});

    const std::string& path() const { return path_; }
    // Throws as refuse_files_read does for the image's path; never for standard output.
    void refuse_files_read(const FilesRead& read) const;
    bool to_standard_output() const { return path_ == kStandardOutput; }
    // Where the image goes, for a report: the path, or "standard output".
    std::string where() const;

    // The image with the look applied: exposed, and for an 8-bit image tone-mapped. A file: the
    // whole image under a temporary name, renamed into place once complete; throws
    // OutputLost when the file cannot be written (any earlier file stays as it was). Standard
    // output: the image's bytes in output.standard_output_bytes, which the program writes.
    void write(const Image& image, CommandOutput& output) const;

    static constexpr const char* kStandardOutput = "-";

private:
    std::string path_;
    ImageFormat format_;
    ImageLook look_;
};

}  // namespace tmhost

#endif
