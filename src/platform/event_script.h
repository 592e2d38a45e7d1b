// Events scripted for frames of a virtual clock (the offline and the web back ends' key lists).
// They are kept in frame order; a frame's events come after the swap that begins it, and a later
// frame's wait for the next swap, so two frames' events never arrive in one pass.
#pragma once
#include "platform/platform.h"

#include <cstdint>

class EventScript {
public:
    static constexpr int capacity = 4096;

    bool schedule(uint64_t frame, platform::EventType type, int key);
    // Down at `frame`, up at the next: both or neither.
    bool schedulePress(uint64_t frame, int key);
    // The next event due after `swaps` swaps, if any.
    bool next(uint64_t swaps, platform::Event& event);
    void swapped() { passFrame = -1; }
    void clear();

private:
    struct Entry {
        uint64_t frame;
        platform::Event event;
    };
    // Constant initialisers only: the back ends' state is set up before any scene object is built.
    Entry entries[capacity] = {};
    int count = 0;
    int nextIndex = 0;       // the next undelivered one
    int64_t passFrame = -1;  // frame of the events delivered since the last swap
};
