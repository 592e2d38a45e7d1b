// plomvardix-bench-sync: how far the music position the demo reads is from what is heard.
//
//   live [SECONDS [SERVER]]  plays a click on every row through the live audio output (on the
//                      server PIPEWIRE_REMOTE or PULSE_SERVER names), records the sink's monitor
//                      (natively when SERVER starts with "pipewire", else through libpulse; SERVER
//                      also labels the line), and prints the distribution of (moment the reported
//                      row changes) - (moment that row's first sample reached the sink). Positive:
//                      reported late.
//   offline WAV LOG    from a plomvardix-capture run with --wav and --log: for each beat row, the
//                      first frame that shows it against the onset of the beat in the sound.
//
// Run through bench/sync, which starts the private sound servers and the capture run.
#include "it_writer.h"
#include "support/capture_log.h"
#include "write_file.h"
#include "music/mixer.h"
#include "platform/audio_output.h"
#include "platform/pipewire_output.h"
#include "platform/pulse_output.h"

#include <pulse/error.h>
#include <pulse/simple.h>
#if PLOMVARDIX_PIPEWIRE
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int rate = 44100;
constexpr int rowsPerOrder = 16;
constexpr int silentOrders = 2;  // while the server's latency is learned

double seconds(Clock::time_point t)
{
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void printDistribution(const char* what, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%s: no values\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double p) { return values[static_cast<size_t>(p * (values.size() - 1) + 0.5)]; };
    double sum = 0;
    for (double v : values)
        sum += v;
    std::printf("%s (ms, n=%zu): min %.1f  p1 %.1f  p50 %.1f  mean %.1f  p99 %.1f  max %.1f\n", what, values.size(),
                values.front(), at(0.01), at(0.5), sum / values.size(), at(0.99), values.back());
}

// Silent orders, then a short burst struck on every row.
std::string writeClickModule(int orders)
{
    forge::it::Module module;
    module.name = "sync clicks";
    module.speed = 3;
    module.tempo = 125;
    forge::it::Sample click;
    click.name = "click";
    for (int i = 0; i < 400; ++i)
        click.frames.push_back((i / 10) % 2 ? 16000 : -16000);
    module.samples.push_back(click);
    for (int order = 0; order < orders; ++order) {
        forge::it::Pattern pattern(rowsPerOrder, 1);
        if (order >= silentOrders) {
            for (int row = 0; row < rowsPerOrder; ++row) {
                pattern.at(row, 0).note = 60;
                pattern.at(row, 0).instrument = 1;
            }
        }
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(order));
    }
    std::string path = "/tmp/plomvardix-bench-sync-" + std::to_string(::getpid()) + ".it";
    if (!forge::writeFile(path, forge::it::serialise(module)))
        return "";
    return path;
}

// The sink's monitor, read in small fragments; each fragment's last frame reached the sink at its
// arrival less the recording stream's latency.
struct Recording {
    std::vector<int16_t> left;                    // one channel is enough
    std::vector<std::pair<size_t, double>> ends;  // frames so far, seconds they reached the sink
    std::atomic<bool> stop{false};
    std::string error;
};

void record(Recording& out)
{
    pa_sample_spec sampleFormat = {PA_SAMPLE_S16LE, rate, 2};
    pa_buffer_attr attr;
    std::memset(&attr, 0xff, sizeof attr);
    constexpr uint32_t fragmentFrames = 64;
    attr.fragsize = fragmentFrames * 4;
    int error = 0;
    pa_simple* in = pa_simple_new(nullptr, "plomvardix-bench-sync", PA_STREAM_RECORD, "sync.monitor", "monitor",
                                  &sampleFormat, nullptr, &attr, &error);
    if (in == nullptr) {
        out.error = pa_strerror(error);
        return;
    }
    int16_t buffer[fragmentFrames * 2];
    while (!out.stop) {
        if (pa_simple_read(in, buffer, sizeof buffer, &error) < 0) {
            out.error = pa_strerror(error);
            break;
        }
        double arrived = seconds(Clock::now());
        pa_usec_t latency = pa_simple_get_latency(in, &error);
        for (uint32_t i = 0; i < fragmentFrames; ++i)
            out.left.push_back(buffer[2 * i]);
        out.ends.push_back({out.left.size(), arrived - latency / 1e6});
    }
    pa_simple_free(in);
}

#if PLOMVARDIX_PIPEWIRE
// On PipeWire the monitor is recorded natively: each buffer comes with the graph's time for its
// cycle (the driver's wake-up, not ours), so a click's moment at the sink does not carry the
// recorder's scheduling. The null sink drives the graph, and its monitor hands over in one cycle
// what the sink took in the cycle before (a stream processed in the sink's own cycle is seen a cycle
// later): a buffer's first frame reached the sink one cycle (its own length) before its graph time,
// less what the recorder's converter holds.
struct NativeRecorder {
    Recording* out = nullptr;
    pw_stream* stream = nullptr;
};

void nativeProcess(void* userData)
{
    auto& recorder = *static_cast<NativeRecorder*>(userData);
    pw_buffer* buffer = pw_stream_dequeue_buffer(recorder.stream);
    if (buffer == nullptr)
        return;
    pw_time time = {};
    pw_stream_get_time_n(recorder.stream, &time, sizeof time);
    spa_data& block = buffer->buffer->datas[0];
    uint32_t frames = block.data != nullptr ? block.chunk->size / 4 : 0;
    const int16_t* samples = static_cast<const int16_t*>(block.data) + block.chunk->offset / 2;
    if (frames > 0 && time.rate.denom > 0 && recorder.out->left.size() + frames < recorder.out->left.capacity()) {
        for (uint32_t i = 0; i < frames; ++i)
            recorder.out->left.push_back(samples[2 * i]);
        double first = time.now * 1e-9 - static_cast<double>(time.delay) * time.rate.num / time.rate.denom -
                       (static_cast<double>(time.buffered) + frames) / rate;
        recorder.out->ends.push_back({recorder.out->left.size(), first + (frames - 1.0) / rate});
    }
    pw_stream_queue_buffer(recorder.stream, buffer);
}

void recordNative(Recording& out)
{
    pw_init(nullptr, nullptr);
    pw_thread_loop* loop = pw_thread_loop_new("bench-sync-record", nullptr);
    pw_context* context = pw_context_new(pw_thread_loop_get_loop(loop), nullptr, 0);
    pw_thread_loop_start(loop);
    pw_thread_loop_lock(loop);
    pw_core* core = pw_context_connect(context, nullptr, 0);
    NativeRecorder recorder;
    recorder.out = &out;
    spa_hook listener = {};
    pw_stream_events events = {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.process = nativeProcess;
    if (core != nullptr)
        recorder.stream = pw_stream_new(core, "sync monitor",
                                        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                          PW_KEY_STREAM_CAPTURE_SINK, "true", PW_KEY_TARGET_OBJECT,
                                                          "sync", nullptr));
    bool connected = false;
    if (recorder.stream != nullptr) {
        pw_stream_add_listener(recorder.stream, &listener, &events, &recorder);
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
        connected = pw_stream_connect(recorder.stream, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 1) == 0;
    }
    pw_thread_loop_unlock(loop);
    if (!connected)
        out.error = "cannot record the sink's monitor through PipeWire";
    while (connected && !out.stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pw_thread_loop_lock(loop);
    if (recorder.stream != nullptr)
        pw_stream_destroy(recorder.stream);
    if (core != nullptr)
        pw_core_disconnect(core);
    pw_thread_loop_unlock(loop);
    pw_thread_loop_stop(loop);
    pw_context_destroy(context);
    pw_thread_loop_destroy(loop);
}
#endif

// For comparison: each fragment's time put on the sink's nominal rate on the monotonic clock, plus one
// constant, the median of (time - frames / rate) over the run's second half. An ideal sink runs so;
// a null sink on a busy machine wakes late and catches up, and then each fragment's own time (its
// arrival less the recording latency, which grows by what waited) is where the sink really was.
void steady(Recording& recording)
{
    std::vector<double> spread;
    for (size_t i = recording.ends.size() / 2; i < recording.ends.size(); ++i)
        spread.push_back(recording.ends[i].second - static_cast<double>(recording.ends[i].first) / rate);
    std::nth_element(spread.begin(), spread.begin() + spread.size() / 2, spread.end());
    double base = spread[spread.size() / 2];
    for (auto& end : recording.ends)
        end.second = static_cast<double>(end.first) / rate + base;
}

// Seconds at which frame `frame` of the recording reached the sink.
double sinkTime(const Recording& recording, size_t frame)
{
    auto it = std::lower_bound(recording.ends.begin(), recording.ends.end(), std::make_pair(frame + 1, 0.0));
    if (it == recording.ends.end())
        --it;
    return it->second - (static_cast<double>(it->first) - static_cast<double>(frame + 1)) / rate;
}

// First frames of bursts that follow at least `quiet` frames of silence.
std::vector<size_t> onsets(const std::vector<int16_t>& frames, int quiet)
{
    std::vector<size_t> found;
    int silent = quiet;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (std::abs(frames[i]) > 2000) {
            if (silent >= quiet)
                found.push_back(i);
            silent = 0;
        } else if (std::abs(frames[i]) < 200) {
            ++silent;
        }
    }
    return found;
}

int live(int secondsToPlay, const char* server)
{
    int orders = silentOrders + static_cast<int>(secondsToPlay / (rowsPerOrder * 0.06)) + 1;
    if (orders > 200)
        orders = 200;
    std::string module = writeClickModule(orders);
    if (module.empty()) {
        std::fprintf(stderr, "bench-sync: cannot write the click module\n");
        return 1;
    }

    Recording recording;
    recording.left.reserve(static_cast<size_t>(rate) * (secondsToPlay + 10));
    void (*recordMonitor)(Recording&) = record;
#if PLOMVARDIX_PIPEWIRE
    if (std::strncmp(server, "pipewire", 8) == 0)
        recordMonitor = recordNative;
#endif
    std::thread recorder(recordMonitor, std::ref(recording));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (!recording.error.empty()) {
        recorder.join();
        std::fprintf(stderr, "bench-sync: cannot record the sink's monitor: %s\n", recording.error.c_str());
        return 1;
    }

    if (!audio::init(rate)) {
        recording.stop = true;
        recorder.join();
        std::fprintf(stderr, "bench-sync: no audio output\n");
        return 1;
    }
    uint32_t handle = audio::musicLoad(module.c_str());
    audio::musicSetPositionScaler(handle, 12);
    audio::musicPlayEx(handle, 0);

    // Reported row changes, as the demo's loop would see them polling as fast as it can.
    std::vector<std::pair<int, double>> changes;
    changes.reserve(static_cast<size_t>(orders) * rowsPerOrder + 16);
    int last = -1;
    double latencyTotal = 0;
    int latencyCount = 0;
    Clock::time_point end = Clock::now() + std::chrono::seconds(secondsToPlay + 3);
    while (Clock::now() < end) {
        uint32_t word = static_cast<uint32_t>(audio::channelGetPosition(handle));
        int index = static_cast<int>(word & 0xFFFF) * rowsPerOrder + static_cast<int>((word >> 16) / 12);
        if (index != last) {
            changes.push_back({index, seconds(Clock::now())});
            last = index;
            audio_output::lock();
            double latency = pipewire_output::isOpen() ? pipewire_output::latencyMs() : pulse_output::latencyMs();
            audio_output::unlock();
            if (latency >= 0) {
                latencyTotal += latency;
                ++latencyCount;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    bool stream = pulse_output::isOpen() || pipewire_output::isOpen();
    const char* output = pipewire_output::isOpen() ? "pipewire native" : stream ? "pulse stream" : "SDL";
    audio::free();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    recording.stop = true;
    recorder.join();
    std::remove(module.c_str());

    // Each reported change against the nearest click at the sink: rows are 60 ms apart, so this
    // holds while the offset stays within half a row, and it survives a fragment the recorder lost.
    std::vector<size_t> heard = onsets(recording.left, 1000);
    std::vector<double> clickTimes;
    auto offsetsNow = [&](bool each) {
        clickTimes.clear();
        for (size_t frame : heard)
            clickTimes.push_back(sinkTime(recording, frame));
        std::vector<double> offsets;
        int firstClick = silentOrders * rowsPerOrder;
        for (const auto& change : changes) {
            if (change.first < firstClick || clickTimes.empty())
                continue;
            auto it = std::lower_bound(clickTimes.begin(), clickTimes.end(), change.second);
            double nearest = it == clickTimes.end() ? clickTimes.back() : *it;
            if (it != clickTimes.begin() && std::fabs(*(it - 1) - change.second) < std::fabs(nearest - change.second))
                nearest = *(it - 1);
            offsets.push_back((change.second - nearest) * 1000);
            if (each)
                std::printf("  row %d at %.3f s: %.1f ms\n", change.first, change.second - changes.front().second,
                            offsets.back());
        }
        std::sort(offsets.begin(), offsets.end());
        return offsets;
    };
    auto at = [](const std::vector<double>& sorted, double p) {
        return sorted.empty() ? 0.0 : sorted[static_cast<size_t>(p * (sorted.size() - 1) + 0.5)];
    };
    // On PulseAudio, the figures against the sink's steady rate too, for comparison.
    std::vector<double> steadyOffsets;
    bool fragments = recordMonitor == record && !recording.ends.empty();
    if (fragments) {
        std::vector<std::pair<size_t, double>> own = recording.ends;
        steady(recording);
        steadyOffsets = offsetsNow(false);
        recording.ends = own;
    }
    std::vector<double> sorted = offsetsNow(std::getenv("BENCH_SYNC_EACH") != nullptr);
    std::printf("live %s: n=%zu p1=%.1f p50=%.1f p99=%.1f min=%.1f max=%.1f ms", server, sorted.size(),
                at(sorted, 0.01), at(sorted, 0.5), at(sorted, 0.99), sorted.empty() ? 0.0 : sorted.front(),
                sorted.empty() ? 0.0 : sorted.back());
    std::printf(" (output: %s", output);
    if (stream && latencyCount > 0)
        std::printf(", mean stream latency %.1f ms", latencyTotal / latencyCount);
    else if (!stream)
        std::printf(", no server latency known");
    std::printf("; truth: %s)", fragments ? "each monitor fragment's arrival less the recording latency"
                                          : "monitor buffers' graph time less their delay");
    if (!steadyOffsets.empty())
        std::printf("; against the sink's steady rate: p1=%.1f p50=%.1f p99=%.1f min=%.1f max=%.1f ms",
                    at(steadyOffsets, 0.01), at(steadyOffsets, 0.5), at(steadyOffsets, 0.99), steadyOffsets.front(),
                    steadyOffsets.back());
    // The truth's own steadiness: rows are exactly 60 ms of music apart, so at a sink playing at its
    // rate the clicks lie on a 60 ms grid; the largest distance from the grid through the first.
    double offGrid = 0;
    for (double t : clickTimes) {
        double rows = (t - clickTimes.front()) / 0.06;
        offGrid = std::max(offGrid, std::fabs(rows - std::round(rows)) * 60);
    }
    std::printf("; clicks off a 60 ms grid by up to %.1f ms", offGrid);
    std::printf("; rows reported %zu, clicks heard %zu; load %s\n", changes.size(), heard.size(),
                loadAverage().c_str());
    return 0;
}

bool readWav(const std::string& path, std::vector<int16_t>& left)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0)
        return false;
    // Walk the chunks to "data"; the format is the capture's own: 16-bit stereo at 44100 Hz.
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        uint32_t size;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            size_t frames = std::min<size_t>(size, bytes.size() - at - 8) / 4;
            left.resize(frames);
            for (size_t i = 0; i < frames; ++i)
                std::memcpy(&left[i], bytes.data() + at + 8 + 4 * i, 2);
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// The onset of the beat shown at `around` seconds: the 1 ms block whose energy rises most against
// the 5 ms before it, from 40 ms before to 20 ms after (a row lasts 60 ms; a frame shows a row
// from its start to a frame step later).
double beatOnset(const std::vector<int16_t>& left, double around)
{
    constexpr int block = rate / 1000;
    long from = static_cast<long>((around - 0.04) * rate) / block;
    long to = static_cast<long>((around + 0.02) * rate) / block;
    auto energy = [&](long b) {
        double sum = 0;
        for (long i = b * block; i < (b + 1) * block && i < static_cast<long>(left.size()); ++i)
            if (i >= 0)
                sum += std::fabs(left[i]);
        return sum / block;
    };
    double best = 0;
    long bestBlock = -1;
    for (long b = std::max(from, 5L); b <= to; ++b) {
        double before = (energy(b - 1) + energy(b - 2) + energy(b - 3) + energy(b - 4) + energy(b - 5)) / 5;
        double rise = energy(b) - before;
        if (rise > best) {
            best = rise;
            bestBlock = b;
        }
    }
    return bestBlock < 0 ? -1 : static_cast<double>(bestBlock * block) / rate;
}

int offline(const std::string& wavPath, const std::string& logPath)
{
    std::vector<int16_t> left;
    if (!readWav(wavPath, left)) {
        std::fprintf(stderr, "bench-sync: cannot read %s\n", wavPath.c_str());
        return 1;
    }
    int lastIndex = -1;
    std::vector<double> offsets;
    for (const capture_log::Step& step : capture_log::readSteps(logPath)) {
        int o = step.order;
        int r = step.row;
        int index = o * 128 + r;
        // The drums play from order 5; the first frame that shows each beat row.
        if (index != lastIndex && r % 8 == 0 && o >= 5) {
            double shown = std::atof(step.seconds.c_str());
            double onset = beatOnset(left, shown);
            if (onset >= 0)
                offsets.push_back((shown - onset) * 1000);
        }
        lastIndex = index;
    }
    std::printf("offline: first frame showing a beat row minus the beat's onset in the sound (positive: late)\n");
    printDistribution("  offset", offsets);
    std::printf("  machine load (1, 5, 15 min): %s\n", loadAverage().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "live") == 0)
        return live(argc >= 3 ? std::max(5, std::atoi(argv[2])) : 30, argc >= 4 ? argv[3] : "pulseaudio");
    if (argc == 4 && std::strcmp(argv[1], "offline") == 0)
        return offline(argv[2], argv[3]);
    std::fprintf(stderr, "usage: plomvardix-bench-sync live [SECONDS [SERVER]] | offline WAV LOG\n");
    return 2;
}
