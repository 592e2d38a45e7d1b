// A fixed ring of frames between the renderer and one worker thread.
#include "frame_queue.h"

void FrameQueue::start(int count, size_t bytes, std::function<void()> work)
{
    slotCount = static_cast<uint64_t>(count);
    frameBytes = bytes;
    slots.assign(slotCount * frameBytes, 0);
    worker = std::thread(std::move(work));
}

void FrameQueue::join()
{
    if (worker.joinable())
        worker.join();
}

void FrameQueue::close()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        closing = true;
    }
    wake.notify_all();
    join();
}

void FrameQueue::cancel()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        hasFailed = true;
    }
    wake.notify_all();
    room.notify_all();
    join();
}

unsigned char* FrameQueue::frameBuffer()
{
    std::unique_lock<std::mutex> hold(mutex);
    room.wait(hold, [&] { return hasFailed || pushedCount - takenCount < slotCount; });
    return hasFailed ? nullptr : slotAt(pushedCount);
}

unsigned char* FrameQueue::freeFrameBuffer()
{
    std::lock_guard<std::mutex> hold(mutex);
    return hasFailed || pushedCount - takenCount >= slotCount ? nullptr : slotAt(pushedCount);
}

void FrameQueue::push()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        ++pushedCount;
    }
    wake.notify_one();
}

void FrameQueue::release()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        ++takenCount;
    }
    room.notify_all();
}

bool FrameQueue::fail(const std::string& why)
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (!hasFailed) {
            hasFailed = true;
            failText = why;
        }
    }
    room.notify_all();
    wake.notify_all();
    return false;
}

bool FrameQueue::failed()
{
    std::lock_guard<std::mutex> hold(mutex);
    return hasFailed;
}

std::string FrameQueue::failure()
{
    std::lock_guard<std::mutex> hold(mutex);
    return failText;
}
