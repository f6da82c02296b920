#include "host/commands/image_output.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/commands/command_error.h"
#include "host/core/filename_store.h"
#include "host/image/exr_image.h"
#include "host/image/pfm_image.h"
#include "host/image/png_image.h"
#include "host/image/whole_file.h"

namespace tmhost {

ToneMap tone_map_value(const std::string& text, const std::string& name) {
    const std::optional<ToneMap> map = tone_map_named(text);
    if (!map) {
        throw UsageError(name + ": unknown tone map '" + text +
                         "' (expected clamp, reinhard or filmic)");
    }
    return *map;
}

double exposure_value(const std::string& text, const std::string& name) {
    char* end = nullptr;
    const double ev = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(ev >= -kMostExposure && ev <= kMostExposure)) {
        throw UsageError(name + ": expected a number from -20 to 20, got '" + text + "'");
    }
    return ev;
}

FilesRead files_read_by(const std::string& module, const std::optional<std::string>& scene_path,
                        const std::vector<std::string>& mesh_files) {
    FilesRead read;
    read.add(module, "the module file");
    read.add_folder(FilenameStore::resource_folder_of(module), "the module's ");
    if (scene_path && *scene_path != "-") read.add(*scene_path, "the scene file");
    for (const std::string& mesh : mesh_files) read.add(mesh, "the scene's mesh file " + mesh);
    return read;
}

void refuse_files_read(const std::string& path, const FilesRead& read) {
    if (path == ImageOutput::kStandardOutput) return;
    if (const std::optional<std::string> what = read.named_by(path)) {
        throw OutputRefused(path + ": cannot write: it is " + *what);
    }
}

void ImageOutput::refuse_files_read(const FilesRead& read) const {
    tmhost::refuse_files_read(path_, read);
}

namespace {

std::optional<ImageFormat> format_named(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "png") return ImageFormat::png;
    if (name == "pfm") return ImageFormat::pfm;
    if (name == "exr") return ImageFormat::exr;
    return std::nullopt;
}

// The whole file of the image in that format.
std::string encoded(ImageFormat format, const Image& image) {
    switch (format) {
    case ImageFormat::pfm:
        return encode_pfm(image);
    case ImageFormat::exr:
        return encode_exr(image);
    case ImageFormat::png:
        break;
    }
    return encode_png(image);
}

}  // namespace

ImageOutput::ImageOutput(std::string path, const std::optional<std::string>& format,
                         bool stdout_is_terminal, ImageLook look)
    : path_(std::move(path)), format_(ImageFormat::png), look_(look) {
    std::optional<ImageFormat> given;
    if (format) {
        given = format_named(*format);
        if (!given) {
            throw UsageError("--format: unknown image type '" + *format +
                             "' (expected png, pfm or exr)");
        }
    }
    if (to_standard_output()) {
        if (!given) {
            throw UsageError(
                "-o -: the image's type is needed for standard output: add "
                "--format png, pfm or exr");
        }
        if (stdout_is_terminal) {
            throw UsageError(
                "-o -: standard output is a terminal; send it to a file or a "
                "program (tonemix-host render -o - --format png > image.png)");
        }
        format_ = *given;
        return;
    }
    const std::string extension = std::filesystem::path(path_).extension().string();
    const std::optional<ImageFormat> by_extension =
        extension.empty() ? std::nullopt : format_named(extension.substr(1));
    if (given && by_extension && *given != *by_extension) {
        throw UsageError(path_ + ": the extension says another image type than --format " +
                         *format);
    }
    if (!given && !by_extension) {
        throw UsageError(path_ +
                         ": unknown image type (expected a .png, .pfm or .exr file, or "
                         "--format)");
    }
    format_ = given ? *given : *by_extension;
    std::error_code error;
    if (std::filesystem::is_directory(path_, error)) {
        throw OutputRefused(path_ + ": is a folder, not an image file");
    }
    try {
        const std::string target = write_target(path_);
        const std::filesystem::path folder = std::filesystem::path(target).parent_path();
        if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
            const std::string link = target == path_ ? "" : ": links to " + target;
            throw OutputRefused(path_ + link + ": no such folder: " + folder.string());
        }
        check_writable(path_);
    } catch (const FileError& problem) {
        throw OutputRefused(problem.what());
    }
}

std::string ImageOutput::where() const { return to_standard_output() ? "standard output" : path_; }

void ImageOutput::write(const Image& light, CommandOutput& output) const {
    const bool eight_bit = format_ == ImageFormat::png;
    const bool exposed = look_.exposure.has_value();
    const bool mapped = eight_bit && look_.tone_map != ToneMap::clamp;
    Image looked;
    if (exposed || mapped) {
        looked = light;
        if (exposed) expose(looked, exposure_scale(*look_.exposure));
        if (mapped) tone_map(looked, look_.tone_map);
    }
    const Image& image = exposed || mapped ? looked : light;
    std::string bytes;
    try {
        bytes = encoded(format_, image);
    } catch (const FileError& error) {
        // An encoder fails only when it runs out of memory: nothing was written.
        throw HostError(to_standard_output() ? error.what()
                                             : path_ + ": cannot write: " + error.what());
    }
    if (to_standard_output()) {
        output.standard_output_bytes = std::move(bytes);
        return;
    }
    try {
        replace_file(path_, bytes);
    } catch (const FileError& error) {
        // The folder took a file when the command began: a write that fails now (a full disk, a
        // file size limit, a folder gone) lost work that was done, as a FIFO's reader going away
        // does, and is no fault of the command line.
        throw OutputLost(error.what());
    }
}

}  // namespace tmhost
