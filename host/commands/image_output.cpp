#include "host/commands/image_output.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "host/image/exr_image.h"
#include "host/image/pfm_image.h"
#include "host/image/png_image.h"
#include "host/image/whole_file.h"
#include "host/render/render_error.h"

namespace tmhost {

namespace {

std::string lower_extension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

ImageOutput::ImageOutput(std::string path) : path_(std::move(path)), format_(ImageFormat::png) {
    const std::string extension = lower_extension(path_);
    if (extension == ".png") {
        format_ = ImageFormat::png;
    } else if (extension == ".pfm") {
        format_ = ImageFormat::pfm;
    } else if (extension == ".exr") {
        format_ = ImageFormat::exr;
    } else {
        throw RenderError(path_ + ": unknown image type (expected a .png, .pfm or .exr file)");
    }
    std::error_code error;
    if (std::filesystem::is_directory(path_, error)) {
        throw RenderError(path_ + ": is a folder, not an image file");
    }
    try {
        const std::string target = write_target(path_);
        const std::filesystem::path folder = std::filesystem::path(target).parent_path();
        if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
            const std::string link = target == path_ ? "" : ": links to " + target;
            throw RenderError(path_ + link + ": no such folder: " + folder.string());
        }
        check_writable(path_);
    } catch (const FileError& problem) {
        throw RenderError(problem.what());
    }
}

void ImageOutput::write(const Image& image) const {
    try {
        switch (format_) {
        case ImageFormat::png:
            write_png(path_, image);
            break;
        case ImageFormat::pfm:
            write_pfm(path_, image);
            break;
        case ImageFormat::exr:
            write_exr(path_, image);
            break;
        }
    } catch (const StreamWriteError& error) {
        throw OutputLost(error.what());
    } catch (const FileError& error) {
        throw RenderError(error.what());
    }
}

}  // namespace tmhost
