// Asks the PulseAudio server (or PipeWire's PulseAudio service) for the latency of this process's
// playback stream: the part of it queued in the server plus the sink's own delay.
#include "platform/pulse_latency.h"

#include <SDL.h>
#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

// Sampled all along, since the latency moves (SDL fills the server's buffer at the start, and it
// drains to its working size over the first second), at a pace that does not divide the callback
// period, so that the mean of the last samples covers the rise and fall between two requests.
constexpr int samples = 24;
constexpr int sampleGapMs = 10;
constexpr int replyLimitMs = 500;

struct LatencyData {
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<uint64_t> meanFrames{0};
    uint32_t rate = 44100;
    pa_usec_t recent[samples] = {};  // the asking thread's own
};

LatencyData data;

struct Reply {
    bool done = false;
    bool found = false;
    pa_usec_t usec = 0;
    char pid[16] = {};
};

void inputInfo(pa_context*, const pa_sink_input_info* info, int eol, void* user)
{
    Reply& reply = *static_cast<Reply*>(user);
    if (eol != 0 || info == nullptr) {
        reply.done = true;
        return;
    }
    const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
    if (pid != nullptr && std::strcmp(pid, reply.pid) == 0 && !info->corked) {
        reply.usec = info->buffer_usec + info->sink_usec;
        reply.found = true;
    }
}

// Runs the loop without blocking until `done` or the time limit; false on timeout or stop.
template <typename Done>
bool iterateUntil(pa_mainloop* loop, Done done, int limitMs)
{
    for (int waited = 0; !done(); ++waited) {
        if (waited >= limitMs || data.stopping)
            return false;
        while (pa_mainloop_iterate(loop, 0, nullptr) > 0) {
        }
        if (!done())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void ask()
{
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr)
        return;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "plomvardix latency");
    if (context != nullptr && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        auto settled = [&] {
            pa_context_state_t state = pa_context_get_state(context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        };
        if (iterateUntil(loop, settled, replyLimitMs) && pa_context_get_state(context) == PA_CONTEXT_READY) {
            int count = 0;
            char pid[16];
            std::snprintf(pid, sizeof pid, "%d", static_cast<int>(::getpid()));
            while (!data.stopping) {
                Reply reply;
                std::memcpy(reply.pid, pid, sizeof pid);
                pa_operation* operation = pa_context_get_sink_input_info_list(context, inputInfo, &reply);
                if (operation == nullptr)
                    break;
                bool answered = iterateUntil(loop, [&] { return reply.done; }, replyLimitMs);
                pa_operation_unref(operation);
                if (!answered)
                    break;
                if (reply.found) {
                    data.recent[count % samples] = reply.usec;
                    ++count;
                    int n = count < samples ? count : samples;
                    uint64_t total = 0;
                    for (int i = 0; i < n; ++i)
                        total += data.recent[i];
                    data.meanFrames = total / n * data.rate / 1000000;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(sampleGapMs));
            }
        }
        pa_context_disconnect(context);
    }
    if (context != nullptr)
        pa_context_unref(context);
    pa_mainloop_free(loop);
}

}  // namespace

namespace pulse_latency {

void start(uint32_t rate)
{
    stop();
    data.meanFrames = 0;
    data.rate = rate;
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver == nullptr || (std::strcmp(driver, "pulseaudio") != 0 && std::strcmp(driver, "pipewire") != 0))
        return;
    data.stopping = false;
    data.thread = std::thread(ask);
}

uint64_t meanFrames()
{
    return data.meanFrames;
}

void stop()
{
    data.stopping = true;
    if (data.thread.joinable())
        data.thread.join();
}

}  // namespace pulse_latency
