#include "host/render/progress_bar.h"

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tmhost {

namespace {
constexpr int kBarWidth = 40;
}

bool stderr_is_terminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

ProgressBar::ProgressBar(long total, bool enabled)
    : total_(total > 0 ? total : 1), enabled_(enabled) {}

void ProgressBar::show(long done) {
    if (!enabled_) return;
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent == shown_) return;
    shown_ = percent;
    const int filled = percent * kBarWidth / 100;
    const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
    std::fprintf(stderr, "\rrendering [%s] %3d%%", bar.c_str(), percent);
    std::fflush(stderr);
}

void ProgressBar::finish() {
    if (!enabled_ || shown_ < 0) return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 20, "");
    std::fflush(stderr);
    shown_ = -1;
}

}  // namespace tmhost
