// A fixed ring of frames between the renderer and one worker thread (the PNG writer, the video
// encoder), with the first failure, which stops both sides.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FrameQueue {
public:
    ~FrameQueue() { cancel(); }

    // Makes the slots and starts the worker, which runs `work` until it returns.
    void start(int slotCount, size_t frameBytes, std::function<void()> work);
    // Lets the worker take what is queued, then waits for it to return.
    void close();
    // Stops the worker without letting it finish and waits for it (the queue counts as failed).
    void cancel();

    // Renderer: a free slot to fill; waits while the worker is behind. Null once failed.
    unsigned char* frameBuffer();
    // Renderer: a free slot to fill, or null at once when there is none or the queue has failed.
    unsigned char* freeFrameBuffer();
    // Renderer: the slot from frameBuffer() is filled.
    void push();
    // Frames pushed so far (read it on the renderer's thread, or with the lock held).
    uint64_t pushed() const { return pushedCount; }

    // Worker: the lock that guards the counters here and whatever the caller keeps beside them.
    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(mutex); }
    // Worker, lock held: waits until a frame is queued, the queue closes or fails, or `also()`.
    template <class Also>
    void waitForWork(std::unique_lock<std::mutex>& hold, Also also)
    {
        wake.wait(hold, [&] { return hasFailed || closing || takenCount < pushedCount || also(); });
    }
    // Lock held: whether a frame waits, whether the worker is asked to end.
    bool frameQueued() const { return takenCount < pushedCount; }
    bool closed() const { return closing; }
    bool failedLocked() const { return hasFailed; }
    // Worker: the oldest frame not yet released, and its index in the order pushed.
    const unsigned char* oldest() const { return slotAt(takenCount); }
    uint64_t taken() const { return takenCount; }
    // Worker: done with the oldest frame; its slot is free again.
    void release();

    // Wakes the worker, or whoever waits for room (other rings guarded by the same lock).
    void notifyWorker() { wake.notify_one(); }
    void notifyRoom() { room.notify_all(); }
    template <class Ready>
    void waitForRoom(std::unique_lock<std::mutex>& hold, Ready ready)
    {
        room.wait(hold, [&] { return hasFailed || ready(); });
    }

    // The first failure is kept and wakes both sides; returns false for the caller to pass on.
    bool fail(const std::string& why);
    bool failed();
    std::string failure();

private:
    unsigned char* slotAt(uint64_t index) const
    {
        return const_cast<unsigned char*>(slots.data()) + (index % slotCount) * frameBytes;
    }
    void join();

    std::vector<unsigned char> slots;
    uint64_t slotCount = 1;
    size_t frameBytes = 0;
    std::mutex mutex;
    std::condition_variable wake;  // the worker waits on it
    std::condition_variable room;  // the renderer waits on it
    uint64_t pushedCount = 0, takenCount = 0;
    bool closing = false, hasFailed = false;
    std::string failText;
    std::thread worker;
};
