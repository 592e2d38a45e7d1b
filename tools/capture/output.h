// One of the capture's outputs: the log, the WAV, the PNG frames, the video. Each owns its file,
// its queue and its lock; the capture tool opens them before the window, feeds them every frame
// and every sound from the back end's two hooks, and finishes or discards them all at the end.
#pragma once

#include "platform/offline.h"

#include <cstdint>
#include <string>

// A frame at its swap, with the finished picture still in the back buffer.
class Frame {
public:
    uint64_t number = 0;  // swaps before this one
    uint64_t micros = 0;  // the virtual time it appears at
    // 640 x 480 RGB bottom row first, as GL reads it, read from GL once for every output that
    // asks; null when it cannot be read.
    const unsigned char* pixels() const
    {
        if (!read) {
            read = true;
            readFailed = !offline::readFrame(buffer, offline::RowOrder::BottomFirst);
        }
        return readFailed ? nullptr : buffer;
    }

    unsigned char* buffer = nullptr;  // the renderer's own copy
    mutable bool read = false, readFailed = false;
};

// Where a run ends: the virtual time, and whether the demo ended (false when it was stopped and
// the outputs keep the frames before `frames`).
struct RunEnd {
    uint64_t micros = 0;
    uint64_t frames = 0;
    bool demoEnded = true;
};

class Output {
public:
    virtual ~Output() = default;
    // Checks the names and settings and makes the file under its temporary name, before the
    // window opens. False with a one-line reason.
    virtual bool open(std::string& error) = 0;
    // Every frame, in order. False once the output has failed: the run stops (`failure` says why).
    virtual bool frame(const Frame&) { return true; }
    // Every sample heard, in order from virtual time 0: interleaved 16-bit stereo.
    virtual bool sound(const int16_t*, uint32_t, uint32_t) { return true; }
    // Completes the file up to the end and gives it its name. False with a one-line reason.
    virtual bool finish(const RunEnd& end, std::string& error) = 0;
    // Takes back what was written, finished or not, at once.
    virtual void discard() = 0;
    // Why frame() or sound() said false.
    const std::string& failure() const { return failText; }

protected:
    bool fail(const std::string& why)
    {
        if (failText.empty())
            failText = why;
        return false;
    }

private:
    std::string failText;
};
