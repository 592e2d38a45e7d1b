// The capture's progress on standard error: one line redrawn in place on a terminal, a plain line
// every 10 % otherwise; how far, where in the music, how fast and for how long so far.
#pragma once

#include <chrono>
#include <cstdint>

class Progress {
public:
    // endOrder: the music order that ends the demo; endFrame: the frame a scripted Escape or close
    // ends the run at, 0 when none.
    void start(bool quiet, int endOrder, uint64_t endFrame);
    // At every swap: the frame done and the music position it showed.
    void update(uint64_t frame, int order, int row);
    // Ends the in-place line.
    void finish();

private:
    double fraction(uint64_t frame, int order, int row) const;

    bool enabled = false;
    bool terminal = false;
    bool lineShown = false;
    int endOrder = 39;
    uint64_t endFrame = 0;
    int tenthsShown = 0;
    std::chrono::steady_clock::time_point began, lastDrawn;
};
