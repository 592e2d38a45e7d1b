#include "platform/event_script.h"

#include "platform/offline.h"

bool EventScript::schedule(uint64_t frame, platform::EventType type, int key)
{
    if (count >= capacity)
        return false;
    // After every event of the same or an earlier frame, so the script stays in order.
    int at = count;
    while (at > nextIndex && entries[at - 1].frame > frame) {
        entries[at] = entries[at - 1];
        --at;
    }
    entries[at] = {frame, {type, key, offline::frameWidth, offline::frameHeight}};
    ++count;
    return true;
}

bool EventScript::schedulePress(uint64_t frame, int key)
{
    if (count + 2 > capacity)
        return false;
    schedule(frame, platform::EventType::KeyDown, key);
    schedule(frame + 1, platform::EventType::KeyUp, key);
    return true;
}

bool EventScript::next(uint64_t swaps, platform::Event& event)
{
    if (nextIndex >= count)
        return false;
    const Entry& entry = entries[nextIndex];
    if (entry.frame > swaps)
        return false;
    if (passFrame >= 0 && static_cast<uint64_t>(passFrame) != entry.frame)
        return false;
    passFrame = static_cast<int64_t>(entry.frame);
    event = entry.event;
    ++nextIndex;
    return true;
}

void EventScript::clear()
{
    count = nextIndex = 0;
    passFrame = -1;
}
