// A progress bar on stderr while a render runs, drawn only when stderr is a terminal: a log file
// or a pipe gets no carriage returns.
#ifndef TMHOST_PROGRESS_BAR_H
#define TMHOST_PROGRESS_BAR_H

namespace tmhost {

bool stderr_is_terminal();

class ProgressBar {
public:
    ProgressBar(long total, bool enabled);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Redraws when the shown percentage changes.
    void show(long done);
    // Clears the bar's line, so the next message starts on a clean line.
    void finish();

private:
    long total_;
    bool enabled_;
    int shown_ = -1;
};

}  // namespace tmhost

#endif
