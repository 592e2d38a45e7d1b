#include "platform/pipewire_output.h"

#include "platform/server_loss.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

// About 23 ms a cycle: small enough that a seek is heard at once, large enough for a busy machine.
constexpr const char* requestedLatency = "1024/44100";
constexpr uint32_t defaultFrames = 1024;
constexpr int connectLimitMs = 2000;

struct PipewireData {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook coreListener = {};
    spa_hook streamListener = {};
    audio_output::MixFunction mix = nullptr;
    uint32_t rate = 44100;
    uint64_t written = 0;      // frames mixed, to the server or, once it is gone, dropped
    uint32_t cycleFrames = 0;  // the graph's cycle, in frames of the stream
    uint64_t lastHeard = 0;    // before the offset
    bool ready = false;        // the stream has been playing
    bool streaming = false;
    bool failed = false;       // the stream or the connection broke
    server_loss::Follower gone;
};


PipewireData data;

// The stream is fed in PipeWire's own data thread, in the cycle that asks, not a hop later on the
// loop's thread; this lock keeps the mixer and the fields it moves apart from lock()'s holders.
std::mutex mixing;

// In the loop's thread, its lock held.
void markFailed()
{
    std::lock_guard<std::mutex> hold(mixing);
    data.failed = true;
    if (data.ready)
        data.gone.markLost(data.lastHeard);
}

void coreError(void*, uint32_t id, int, int res, const char*)
{
    if (id == PW_ID_CORE && res == -EPIPE)
        markFailed();
    pw_thread_loop_signal(data.loop, false);
}

void streamState(void*, pw_stream_state, pw_stream_state state, const char*)
{
    if (state == PW_STREAM_STATE_STREAMING)
        data.streaming = true;
    else if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
        markFailed();
    pw_thread_loop_signal(data.loop, false);
}

// In the loop's thread, its lock held: the mixer is called as under lock().
void streamProcess(void*)
{
    std::lock_guard<std::mutex> hold(mixing);
    pw_buffer* buffer = pw_stream_dequeue_buffer(data.stream);
    if (buffer == nullptr)
        return;
    spa_data& block = buffer->buffer->datas[0];
    uint32_t frames = 0;
    if (block.data != nullptr && !data.gone.lost) {
        uint32_t room = block.maxsize / 4;
        frames = buffer->requested > 0 ? static_cast<uint32_t>(buffer->requested) : defaultFrames;
        if (frames > room)
            frames = room;
        data.mix(static_cast<int16_t*>(block.data), frames);
        data.written += frames;
        data.cycleFrames = frames;
    }
    block.chunk->offset = 0;
    block.chunk->stride = 4;
    block.chunk->size = frames * 4;
    buffer->size = frames;  // the stream's time then counts what is queued in frames
    pw_stream_queue_buffer(data.stream, buffer);
}

const pw_core_events coreEvents = [] {
    pw_core_events events = {};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = coreError;
    return events;
}();

const pw_stream_events streamEvents = [] {
    pw_stream_events events = {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = streamState;
    events.process = streamProcess;
    return events;
}();

// Waits, with the lock held, until `done` or the time limit; the loop runs meanwhile.
template <typename Done>
bool waitFor(Done done)
{
    for (int waited = 0; !done(); waited += 5) {
        if (waited >= connectLimitMs)
            return false;
        pw_thread_loop_unlock(data.loop);
        usleep(5000);
        pw_thread_loop_lock(data.loop);
    }
    return true;
}

void release()
{
    if (data.loop == nullptr)
        return;
    pw_thread_loop_lock(data.loop);
    if (data.stream != nullptr) {
        spa_hook_remove(&data.streamListener);
        pw_stream_destroy(data.stream);
        data.stream = nullptr;
    }
    if (data.core != nullptr) {
        spa_hook_remove(&data.coreListener);
        pw_core_disconnect(data.core);
        data.core = nullptr;
    }
    pw_thread_loop_unlock(data.loop);
    pw_thread_loop_stop(data.loop);
    if (data.context != nullptr) {
        pw_context_destroy(data.context);
        data.context = nullptr;
    }
    pw_thread_loop_destroy(data.loop);
    data.loop = nullptr;
}

// Frames written but not yet heard at the monotonic time `now`, from the stream's last time report
// carried forward; false when there is no report yet. The report is made in the cycle that took the
// last buffer; what is queued after it waits for the next cycle, which the report leaves out.
bool framesBehind(uint64_t now, double& behind)
{
    pw_time time = {};
    if (pw_stream_get_time_n(data.stream, &time, sizeof time) < 0 || time.rate.denom == 0 || time.now <= 0)
        return false;
    double graphToStream = static_cast<double>(time.rate.num) * data.rate / time.rate.denom;
    double elapsed = (static_cast<double>(now) - static_cast<double>(time.now)) * 1e-9 * data.rate;
    behind = static_cast<double>(time.queued) + data.cycleFrames + static_cast<double>(time.buffered) +
             static_cast<double>(time.delay) * graphToStream - elapsed;
    if (behind < 0)
        behind = 0;
    return true;
}

}  // namespace

namespace pipewire_output {

bool open(uint32_t rate, audio_output::MixFunction mix)
{
    if (data.loop != nullptr)
        return false;
    data.mix = mix;
    data.rate = rate;
    data.written = 0;
    data.lastHeard = 0;
    data.ready = false;
    data.streaming = false;
    data.failed = false;
    data.gone.reset();
    pw_init(nullptr, nullptr);
    data.loop = pw_thread_loop_new("plomvardix-audio", nullptr);
    if (data.loop == nullptr)
        return false;
    data.context = pw_context_new(pw_thread_loop_get_loop(data.loop), nullptr, 0);
    if (data.context == nullptr || pw_thread_loop_start(data.loop) < 0) {
        release();
        return false;
    }

    pw_thread_loop_lock(data.loop);
    // Connecting fails at once when no daemon listens.
    data.core = pw_context_connect(data.context, nullptr, 0);
    if (data.core != nullptr) {
        pw_core_add_listener(data.core, &data.coreListener, &coreEvents, nullptr);
        data.stream = pw_stream_new(data.core, "music",
                                    pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                                                      PW_KEY_MEDIA_ROLE, "Music", PW_KEY_APP_NAME, "zub.plomvardix",
                                                      PW_KEY_NODE_LATENCY, requestedLatency, nullptr));
    }
    bool playing = false;
    if (data.stream != nullptr) {
        pw_stream_add_listener(data.stream, &data.streamListener, &streamEvents, nullptr);
        spa_audio_info_raw format;
        std::memset(&format, 0, sizeof format);
        format.format = SPA_AUDIO_FORMAT_S16;
        format.rate = rate;
        format.channels = 2;
        format.position[0] = SPA_AUDIO_CHANNEL_FL;
        format.position[1] = SPA_AUDIO_CHANNEL_FR;
        uint8_t podSpace[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(podSpace, sizeof podSpace);
        const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
        auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                PW_STREAM_FLAG_RT_PROCESS);
        if (pw_stream_connect(data.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) == 0) {
            // Streaming once the session manager has linked the stream to a sink.
            playing = waitFor([] { return data.streaming || data.failed; }) && data.streaming && !data.failed;
        }
    }
    data.ready = playing;
    pw_thread_loop_unlock(data.loop);
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
    if (data.loop != nullptr) {
        pw_thread_loop_lock(data.loop);
        mixing.lock();
    }
}

void unlock()
{
    if (data.loop != nullptr) {
        mixing.unlock();
        pw_thread_loop_unlock(data.loop);
    }
}

uint64_t framesHeard(uint64_t offset)
{
    if (data.loop == nullptr)
        return 0;
    if (data.gone.lost) {
        data.lastHeard = data.gone.follow(data.mix, data.rate, data.written);
    } else {
        double behind = 0;
        if (framesBehind(server_loss::nowNs(), behind) && behind < static_cast<double>(data.written)) {
            uint64_t frame = data.written - static_cast<uint64_t>(behind + 0.5);
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
    double behind = 0;
    return framesBehind(server_loss::nowNs(), behind) ? behind * 1000.0 / data.rate : -1;
}

bool lost()
{
    lock();
    bool gone = data.gone.lost;
    unlock();
    return gone;
}

}  // namespace pipewire_output
