#include "platform/pulse_output.h"

#include "platform/server_loss.h"

#include <pulse/pulseaudio.h>

#include <unistd.h>

namespace {

// Small enough that a seek is heard at once, large enough for a busy machine's scheduling.
constexpr pa_usec_t targetLatencyUs = 50000;
constexpr int connectLimitMs = 2000;

struct PulseData {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    audio_output::MixFunction mix = nullptr;
    uint32_t rate = 44100;
    uint64_t written = 0;    // frames mixed, to the server or, once it is gone, dropped
    uint64_t lastHeard = 0;  // before the offset
    bool ready = false;      // the stream has been playing
    server_loss::Follower gone;
};

PulseData data;

// In the main loop's thread, its lock held.
void markLost()
{
    if (data.ready)
        data.gone.markLost(data.lastHeard);
}

void contextState(pa_context* context, void*)
{
    pa_context_state_t state = pa_context_get_state(context);
    if (!PA_CONTEXT_IS_GOOD(state))
        markLost();
    pa_threaded_mainloop_signal(data.loop, 0);
}

void streamState(pa_stream* stream, void*)
{
    pa_stream_state_t state = pa_stream_get_state(stream);
    if (!PA_STREAM_IS_GOOD(state))
        markLost();
    pa_threaded_mainloop_signal(data.loop, 0);
}

void streamWrite(pa_stream* stream, size_t bytes, void*)
{
    if (data.gone.lost)
        return;
    while (bytes >= 4) {
        void* buffer = nullptr;
        size_t size = bytes;
        if (pa_stream_begin_write(stream, &buffer, &size) < 0 || buffer == nullptr || size < 4)
            return;
        size -= size % 4;
        uint32_t frames = static_cast<uint32_t>(size / 4);
        data.mix(static_cast<int16_t*>(buffer), frames);
        if (pa_stream_write(stream, buffer, size, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        data.written += frames;
        bytes -= size;
    }
}

// Waits, with the lock held, until `done` or the time limit; the main loop runs meanwhile.
template <typename Done>
bool waitFor(Done done)
{
    for (int waited = 0; !done(); waited += 5) {
        if (waited >= connectLimitMs)
            return false;
        pa_threaded_mainloop_unlock(data.loop);
        usleep(5000);
        pa_threaded_mainloop_lock(data.loop);
    }
    return true;
}

void release()
{
    if (data.loop == nullptr)
        return;
    pa_threaded_mainloop_lock(data.loop);
    if (data.stream != nullptr) {
        pa_stream_set_state_callback(data.stream, nullptr, nullptr);
        pa_stream_set_write_callback(data.stream, nullptr, nullptr);
        pa_stream_disconnect(data.stream);
        pa_stream_unref(data.stream);
        data.stream = nullptr;
    }
    if (data.context != nullptr) {
        pa_context_set_state_callback(data.context, nullptr, nullptr);
        pa_context_disconnect(data.context);
        pa_context_unref(data.context);
        data.context = nullptr;
    }
    pa_threaded_mainloop_unlock(data.loop);
    pa_threaded_mainloop_stop(data.loop);
    pa_threaded_mainloop_free(data.loop);
    data.loop = nullptr;
}

}  // namespace

namespace pulse_output {

bool open(uint32_t rate, audio_output::MixFunction mix)
{
    if (data.loop != nullptr)
        return false;
    data.mix = mix;
    data.rate = rate;
    data.written = 0;
    data.lastHeard = 0;
    data.ready = false;
    data.gone.reset();
    data.loop = pa_threaded_mainloop_new();
    if (data.loop == nullptr)
        return false;
    data.context = pa_context_new(pa_threaded_mainloop_get_api(data.loop), "zub.plomvardix");
    if (data.context == nullptr) {
        release();
        return false;
    }
    pa_context_set_state_callback(data.context, contextState, nullptr);
    if (pa_context_connect(data.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(data.loop) < 0) {
        release();
        return false;
    }

    pa_threaded_mainloop_lock(data.loop);
    bool connected = waitFor([] {
        pa_context_state_t state = pa_context_get_state(data.context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    }) && pa_context_get_state(data.context) == PA_CONTEXT_READY;
    pa_sample_spec format = {PA_SAMPLE_S16NE, rate, 2};
    if (connected) {
        data.stream = pa_stream_new(data.context, "music", &format, nullptr);
    }
    bool playing = false;
    if (data.stream != nullptr) {
        pa_stream_set_state_callback(data.stream, streamState, nullptr);
        pa_stream_set_write_callback(data.stream, streamWrite, nullptr);
        pa_buffer_attr attributes;
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.tlength = static_cast<uint32_t>(pa_usec_to_bytes(targetLatencyUs, &format));
        attributes.prebuf = static_cast<uint32_t>(-1);
        attributes.minreq = static_cast<uint32_t>(-1);
        attributes.fragsize = static_cast<uint32_t>(-1);
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                    PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(data.stream, nullptr, &attributes, flags, nullptr, nullptr) >= 0) {
            playing = waitFor([] {
                pa_stream_state_t state = pa_stream_get_state(data.stream);
                return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
            }) && pa_stream_get_state(data.stream) == PA_STREAM_READY;
        }
    }
    data.ready = playing;
    pa_threaded_mainloop_unlock(data.loop);
    if (!playing)
        release();
    return playing;
}

void close()
{
    release();
    data.ready = false;
}

bool isOpen()
{
    return data.loop != nullptr;
}

void lock()
{
    if (data.loop != nullptr)
        pa_threaded_mainloop_lock(data.loop);
}

void unlock()
{
    if (data.loop != nullptr)
        pa_threaded_mainloop_unlock(data.loop);
}

uint64_t framesHeard(uint64_t offset)
{
    if (data.loop == nullptr)
        return 0;
    if (data.gone.lost) {
        data.lastHeard = data.gone.follow(data.mix, data.rate, data.written);
    } else {
        pa_usec_t usec = 0;
        if (pa_stream_get_time(data.stream, &usec) == 0) {
            uint64_t frame = usec * data.rate / 1000000u;
            if (frame > data.written)
                frame = data.written;
            if (frame > data.lastHeard)
                data.lastHeard = frame;
        }
    }
    return data.lastHeard > offset ? data.lastHeard - offset : 0;
}

double latencyMs()
{
    if (data.stream == nullptr || data.gone.lost)
        return -1;
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(data.stream, &usec, &negative) != 0)
        return -1;
    return negative ? -(usec / 1000.0) : usec / 1000.0;
}

bool lost()
{
    lock();
    bool gone = data.gone.lost;
    unlock();
    return gone;
}

}  // namespace pulse_output
