// The font the host letters its images with (DejaVu Sans, from Debian's fonts-dejavu-core), built
// into the program so that a contact sheet needs no font installed where it runs, under wine too.
#ifndef TMHOST_EMBEDDED_FONT_H
#define TMHOST_EMBEDDED_FONT_H

#include <cstddef>

namespace tmhost {

struct FontFile {
    const unsigned char* data;
    std::size_t size;
};

FontFile embedded_font();

}  // namespace tmhost

#endif
