// A progress bar on stderr while a render runs, drawn only when stderr is a terminal: a log file
// or a pipe gets no carriage returns. It shows the time left at the pace so far.
#ifndef TMHOST_PROGRESS_BAR_H
#define TMHOST_PROGRESS_BAR_H

#include <chrono>
#include <cstdio>
#include <string>

namespace tmhost {

// Whether the stream is a terminal: a progress bar goes only to one, and an image never.
bool is_terminal(std::FILE* stream);

// "12 s left", "3 min 5 s left": the time the rest takes at the pace so far; empty before the
// first row and after the last. `done` and `total` count work: rows, or rows times their cost.
std::string time_left_text(double elapsed_seconds, long long done, long long total);

class ProgressBar {
public:
    // `total`: the work of the whole render, in rows times their cost (1 a row by default).
    ProgressBar(long long total, bool enabled);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Redraws when the shown percentage changes; `rows` of the current part are done.
    void show(long rows);
    // For work in parts (the tiles of a contact sheet, each a render of its own, some costlier
    // than others): later calls of show() count their rows, each `row_cost`, after `done_before`.
    void count_from(long long done_before, long long row_cost = 1) {
        done_before_ = done_before;
        row_cost_ = row_cost;
    }
    // Clears the bar's line, so the next message starts on a clean line.
    void finish();

private:
    long long total_;
    bool enabled_;
    long long done_before_ = 0;
    long long row_cost_ = 1;
    int shown_ = -1;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace tmhost

#endif
