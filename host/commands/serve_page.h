// The page tonemix-host serve answers at /: one HTML document with its script and style, joined
// from host/commands/page/ and made into the program, so that it works offline and needs no file
// beside it.
#ifndef TMHOST_SERVE_PAGE_H
#define TMHOST_SERVE_PAGE_H

namespace tmhost {

const char* serve_page();

}  // namespace tmhost

#endif
