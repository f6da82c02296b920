#include "host/render/progress_bar.h"

#include <cstdio>
#include <string>

namespace tmhost {

namespace {
constexpr int kBarWidth = 40;
}

std::string time_left_text(double elapsed_seconds, long long done, long long total) {
    if (done <= 0 || done >= total || !(elapsed_seconds >= 0.0)) return std::string();
    const double left = elapsed_seconds * static_cast<double>(total - done) / done;
    const long seconds = static_cast<long>(left + 0.5);
    if (seconds < 60) return std::to_string(seconds) + " s left";
    return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s left";
}

ProgressBar::ProgressBar(long long total, bool enabled)
    : total_(total > 0 ? total : 1), enabled_(enabled), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::show(long rows) {
    if (!enabled_) return;
    const long long done = done_before_ + rows * row_cost_;
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent == shown_) return;
    shown_ = percent;
    const int filled = percent * kBarWidth / 100;
    const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string left = time_left_text(elapsed, done, total_);
    // Padded, so that a shorter estimate overwrites a longer one.
    std::fprintf(stderr, "\rrendering [%s] %3d%% %-18s", bar.c_str(), percent,
                 left.empty() ? "" : ("(" + left + ")").c_str());
    std::fflush(stderr);
}

void ProgressBar::finish() {
    if (!enabled_ || shown_ < 0) return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 40, "");
    std::fflush(stderr);
    shown_ = -1;
}

}  // namespace tmhost
