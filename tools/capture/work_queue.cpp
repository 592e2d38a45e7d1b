// A fixed ring of items between the renderer and one worker thread.
#include "work_queue.h"

void WorkQueue::start(int count, size_t bytes, std::function<void()> work)
{
    buffers.assign(static_cast<size_t>(count) * bytes, 0);
    items.assign(static_cast<size_t>(count), Item());
    for (int k = 0; k < count; ++k)
        items[k].bytes = buffers.data() + static_cast<size_t>(k) * bytes;
    worker = std::thread(std::move(work));
}

void WorkQueue::join()
{
    if (worker.joinable())
        worker.join();
}

void WorkQueue::close()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        closing = true;
    }
    wake.notify_all();
    join();
}

void WorkQueue::cancel()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        hasFailed = true;
    }
    wake.notify_all();
    room.notify_all();
    join();
}

WorkQueue::Item* WorkQueue::claim()
{
    std::unique_lock<std::mutex> hold(mutex);
    room.wait(hold, [&] { return hasFailed || pushed - taken < items.size(); });
    return hasFailed ? nullptr : &items[pushed % items.size()];
}

WorkQueue::Item* WorkQueue::tryClaim()
{
    std::lock_guard<std::mutex> hold(mutex);
    return hasFailed || pushed - taken >= items.size() ? nullptr : &items[pushed % items.size()];
}

void WorkQueue::push()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        ++pushed;
    }
    wake.notify_one();
}

WorkQueue::Item* WorkQueue::next()
{
    std::unique_lock<std::mutex> hold(mutex);
    wake.wait(hold, [&] { return hasFailed || closing || taken < pushed; });
    return hasFailed || taken == pushed ? nullptr : &items[taken % items.size()];
}

void WorkQueue::release()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        ++taken;
    }
    room.notify_all();
}

bool WorkQueue::fail(const std::string& why)
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

bool WorkQueue::failed()
{
    std::lock_guard<std::mutex> hold(mutex);
    return hasFailed;
}

std::string WorkQueue::failure()
{
    std::lock_guard<std::mutex> hold(mutex);
    return failText;
}
