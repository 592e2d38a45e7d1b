// A fixed ring of items between the renderer and one worker thread (the PNG writer, the video
// encoder), each item a header and a buffer of fixed size, with the first failure, which stops
// both sides. Each output owns its queue, and with it its lock.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class WorkQueue {
public:
    struct Item {
        int kind = 0;         // what the buffer holds, as its owner counts
        uint64_t number = 0;  // a frame number, a time
        uint32_t count = 0;   // how much of the buffer is used, as its owner counts
        unsigned char* bytes = nullptr;
    };

    ~WorkQueue() { cancel(); }

    // Makes the items and starts the worker, which runs `work` until it returns.
    void start(int itemCount, size_t itemBytes, std::function<void()> work);
    // Lets the worker take what is queued, then waits for it to return.
    void close();
    // Stops the worker without letting it finish and waits for it (the queue counts as failed).
    void cancel();

    // Renderer: a free item to fill; waits while the worker is behind. Null once failed.
    Item* claim();
    // Renderer: a free item, or null at once when there is none or the queue has failed.
    Item* tryClaim();
    // Renderer: the item from claim() is filled.
    void push();

    // Worker: the oldest item, once there is one; null when the queue is closed and empty, or failed.
    Item* next();
    // Worker: done with the oldest item; it is free again.
    void release();

    // The first failure is kept and wakes both sides; returns false for the caller to pass on.
    bool fail(const std::string& why);
    bool failed();
    std::string failure();

private:
    void join();

    std::vector<unsigned char> buffers;
    std::vector<Item> items;
    uint64_t pushed = 0, taken = 0;
    bool closing = false, hasFailed = false;
    std::string failText;
    std::mutex mutex;
    std::condition_variable wake;  // the worker waits on it
    std::condition_variable room;  // the renderer waits on it
    std::thread worker;
};
