// What the listener hears of a stream handed to an audio device buffer by buffer: the frames
// delivered, less those still queued behind the buffer now leaving (counted at the device's pace
// from its hand-over), less the sound server's latency, less a manual offset. Times are counted in
// frames of the stream's rate, so that the model is independent of any clock.
#pragma once
#include <cstdint>

class HeardClock {
public:
    // A buffer of `frames` handed over at time `now`.
    void handOver(uint64_t frames, uint64_t now)
    {
        bufferStart = delivered;
        delivered += frames;
        handedAt = now;
        any = true;
    }

    // Frames between the hand-over of a buffer and its first frame reaching the sink: what the
    // server holds right after a hand-over plus its sink's own delay.
    void setServerLatency(uint64_t frames) { serverLatency = frames; }
    void setManualOffset(uint64_t frames) { manualOffset = frames; }

    uint64_t framesDelivered() const { return delivered; }

    // Frames of the last buffer not yet played by time `now`.
    uint64_t stillQueued(uint64_t now) const
    {
        uint64_t length = delivered - bufferStart;
        uint64_t played = now > handedAt ? now - handedAt : 0;
        return played < length ? length - played : 0;
    }

    // Index of the frame heard at `now`; never moves back.
    uint64_t heard(uint64_t now)
    {
        if (!any)
            return 0;
        uint64_t behind = stillQueued(now) + serverLatency + manualOffset;
        uint64_t frame = delivered > behind ? delivered - behind : 0;
        if (frame < lastHeard)
            frame = lastHeard;
        lastHeard = frame;
        return frame;
    }

private:
    uint64_t delivered = 0;
    uint64_t bufferStart = 0;
    uint64_t handedAt = 0;
    uint64_t serverLatency = 0;
    uint64_t manualOffset = 0;
    uint64_t lastHeard = 0;
    bool any = false;
};
