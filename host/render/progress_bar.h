// A progress bar on stderr while a render runs, drawn only when stderr is a terminal: a log file
// or a pipe gets no carriage returns. It shows the time left at the pace so far.
#ifndef TMHOST_PROGRESS_BAR_H
#define TMHOST_PROGRESS_BAR_H

#include <chrono>
#include <string>

namespace tmhost {

bool stderr_is_terminal();

// "12 s left", "3 min 5 s left": the time the rest takes at the pace so far; empty before the
// first row and after the last.
std::string time_left_text(double elapsed_seconds, long done, long total);

class ProgressBar {
public:
    ProgressBar(long total, bool enabled);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Redraws when the shown percentage changes.
    void show(long done);
    // For work in parts (the tiles of a contact sheet, each a render of its own): later calls of
    // show() count their rows after these.
    void count_from(long done_before) { done_before_ = done_before; }
    // Clears the bar's line, so the next message starts on a clean line.
    void finish();

private:
    long total_;
    bool enabled_;
    long done_before_ = 0;
    int shown_ = -1;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace tmhost

#endif
