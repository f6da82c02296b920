// The code of stb_image_write, compiled once for the PNG writer. Only its in-memory writers are
// kept: files are written whole by replace_file, never by the library.
//
// The PNG's image data is deflated by zlib at its best level rather than by stb's own
// compressor: the files come out markedly smaller, and a failed allocation is an answer of no
// data (which the writer reports) where stb's compressor would assert.
#include <cstdlib>

#include <zlib.h>

namespace {

unsigned char* zlib_compress(unsigned char* data, int size, int* out_size, int /*quality*/) {
    uLongf length = compressBound(static_cast<uLong>(size));
    auto* out = static_cast<unsigned char*>(std::malloc(length));
    if (out == nullptr) return nullptr;
    if (compress2(out, &length, data, static_cast<uLong>(size), Z_BEST_COMPRESSION) != Z_OK) {
        std::free(out);
        return nullptr;
    }
    *out_size = static_cast<int>(length);
    return out;
}

}  // namespace

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS zlib_compress
#include <stb/stb_image_write.h>
