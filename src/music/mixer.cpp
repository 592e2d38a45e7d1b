// The mixer: one libopenmpt module mixed in small chunks, a record of the
// frame at which each row starts, and the position word of the row now being heard.
#include "music/mixer.h"

#include "platform/audio_output.h"
#include "platform/regular_file.h"

#include <libopenmpt/libopenmpt.h>


#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// libopenmpt moves its order and row only between reads, so a read must stay well under a tick
// (882 frames at tempo 125) for the record to place each row start within this many frames.
constexpr uint32_t chunkFrames = 32;
// Rows mixed but not yet heard: the output's buffers plus any added latency, a few rows at most.
constexpr int recordCapacity = 1024;

struct RowStart {
    uint64_t frame;   // first mixed frame of the row, counted from the output's open
    uint16_t order;
    uint16_t row;
    uint32_t length;  // frames the row should last at its speed and tempo; 0 when unknown
};

struct AudioData {
    bool open = false;
    uint32_t rate = 44100;
    uint32_t volume = 100;

    openmpt_module* module = nullptr;
    uint32_t handle = 0;      // of the loaded module; 0 when none
    uint32_t lastHandle = 0;
    bool playing = false;
    bool ended = false;       // the song reached its end and stopped; a seek starts it again
    uint32_t scaler = 1;

    uint64_t framesMixed = 0;
    RowStart record[recordCapacity] = {};
    int recordFirst = 0;
    int recordCount = 0;
};

// Constant-initialised, so it is ready before any other file's start-up code could reach it.
static_assert(AudioData().rate == 44100 && AudioData().volume == 100, "AudioData needs constant initialisers");
AudioData data;

// Holds the output's lock while the module or the record is touched from the demo's thread.
class OutputLock {
public:
    OutputLock() : held(data.open) { if (held) audio_output::lock(); }
    ~OutputLock() { if (held) audio_output::unlock(); }
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

private:
    bool held;
};

RowStart& recordAt(int index)
{
    return data.record[(data.recordFirst + index) % recordCapacity];
}

uint32_t estimatedRowLength()
{
    int32_t speed = openmpt_module_get_current_speed(data.module);
    int32_t tempo = openmpt_module_get_current_tempo(data.module);
    if (speed <= 0 || tempo <= 0)
        return 0;
    // A tick lasts 2.5 / tempo seconds.
    return static_cast<uint32_t>(static_cast<uint64_t>(speed) * data.rate * 5 / (2 * static_cast<uint64_t>(tempo)));
}

void recordRow(uint64_t frame, int32_t order, int32_t row)
{
    if (data.recordCount > 0) {
        RowStart& last = recordAt(data.recordCount - 1);
        if (last.order == order && last.row == row)
            return;
        if (last.frame == frame) {
            // Corrects the entry a seek made before any frame of it was mixed.
            last.order = static_cast<uint16_t>(order);
            last.row = static_cast<uint16_t>(row);
            last.length = estimatedRowLength();
            return;
        }
    }
    if (data.recordCount == recordCapacity) {
        data.recordFirst = (data.recordFirst + 1) % recordCapacity;
        --data.recordCount;
    }
    RowStart& entry = recordAt(data.recordCount++);
    entry.frame = frame;
    entry.order = static_cast<uint16_t>(order);
    entry.row = static_cast<uint16_t>(row);
    entry.length = estimatedRowLength();
}

void applyVolume(int16_t* stereo, uint32_t frames)
{
    if (data.volume >= 100)
        return;
    for (uint32_t i = 0; i < frames * 2; ++i)
        stereo[i] = static_cast<int16_t>(stereo[i] * static_cast<int32_t>(data.volume) / 100);
}

// Runs with the output locked, on the output's thread (live) or inside a clock advance (offline).
void mix(int16_t* stereo, uint32_t frames)
{
    for (uint32_t done = 0; done < frames;) {
        uint32_t count = frames - done < chunkFrames ? frames - done : chunkFrames;
        int16_t* chunk = stereo + 2 * done;
        size_t got = 0;
        if (data.module && data.playing && !data.ended) {
            uint64_t chunkStart = data.framesMixed + done;
            got = openmpt_module_read_interleaved_stereo(data.module, static_cast<int32_t>(data.rate), count, chunk);
            if (got > 0)
                recordRow(chunkStart, openmpt_module_get_current_order(data.module),
                          openmpt_module_get_current_row(data.module));
            if (got < count)
                data.ended = true;  // "play.at_end" is "stop": the song ends here, without a fade
        }
        std::memset(chunk + 2 * got, 0, (count - got) * 2 * sizeof(int16_t));
        done += count;
    }
    applyVolume(stereo, frames);
    data.framesMixed += frames;
}

bool validPosition(uint32_t order, uint32_t row)
{
    if (order >= static_cast<uint32_t>(openmpt_module_get_num_orders(data.module)))
        return false;
    int32_t pattern = openmpt_module_get_order_pattern(data.module, static_cast<int32_t>(order));
    if (pattern < 0 || pattern >= openmpt_module_get_num_patterns(data.module))
        return false;  // a skip or end marker in the order list
    return row < static_cast<uint32_t>(openmpt_module_get_pattern_num_rows(data.module, pattern));
}

// Moves playback at once. What is already in the output's buffers still sounds, but the new row is
// reported from now on: the record restarts with it at the next frame to be mixed.
bool seek(uint64_t position)
{
    uint32_t order = static_cast<uint32_t>(position) & 0xFFFF;
    uint32_t row = (static_cast<uint32_t>(position) >> 16) & 0xFFFF;
    if (!validPosition(order, row))
        return false;
    openmpt_module_set_position_order_row(data.module, static_cast<int32_t>(order), static_cast<int32_t>(row));
    data.ended = false;
    data.recordFirst = 0;
    data.recordCount = 0;
    recordRow(data.framesMixed, static_cast<int32_t>(order), static_cast<int32_t>(row));
    return true;
}

uint32_t heardPosition()
{
    if (data.recordCount == 0)
        return 0;
    uint64_t heard = audio_output::framesHeard();
    int index = data.recordCount - 1;
    while (index > 0 && recordAt(index).frame > heard)
        --index;
    const RowStart& entry = recordAt(index);
    uint32_t fraction = 0;
    if (heard > entry.frame) {
        uint64_t length = index + 1 < data.recordCount ? recordAt(index + 1).frame - entry.frame : entry.length;
        if (length > 0) {
            uint64_t parts = (heard - entry.frame) * data.scaler / length;
            fraction = parts < data.scaler ? static_cast<uint32_t>(parts) : data.scaler - 1;
        }
    }
    uint32_t high = (entry.row * data.scaler + fraction) & 0xFFFF;
    return high << 16 | entry.order;
}

bool validHandle(uint32_t handle)
{
    return data.module != nullptr && handle == data.handle;
}

void unloadModule()
{
    if (data.module)
        openmpt_module_destroy(data.module);
    data.module = nullptr;
    data.handle = 0;
    data.playing = false;
    data.ended = false;
    data.recordFirst = 0;
    data.recordCount = 0;
}

// Kept as the original library kept them: a seek leaves sounding notes sounding, and the end of
// the song is an end, not a fade that already reports order 0. No dither: its noise is seeded at
// random, and two offline runs must give the same samples.
const openmpt_module_initial_ctl moduleControls[] = {
    {"seek.sync_samples", "1"},
    {"play.at_end", "stop"},
    {"dither", "0"},
    {nullptr, nullptr},
};

}  // namespace

namespace audio {

// Initialising again starts afresh (a second run of the demo in one process, after the offline
// back end was reset) rather than failing.
bool init(uint32_t frequency)
{
    free();
    if (frequency < 8000 || frequency > 192000)
        return false;
    data.rate = frequency;
    data.framesMixed = 0;
    if (!audio_output::open(frequency, mix))
        return false;
    data.open = true;
    return true;
}

bool setVolume(uint32_t volume)
{
    if (!data.open || volume > 100)
        return false;
    OutputLock lock;
    data.volume = volume;
    return true;
}

// The module is loaded paused; musicPlay starts it.
uint32_t musicLoad(const char* path)
{
    if (!data.open || path == nullptr)
        return 0;
    // Read whole: libopenmpt reading through a FILE seeks for nearly every read, and on a
    // module of this size that costs a few hundred milliseconds of start-up.
    std::FILE* file = platform::openRegularFile(path);
    if (file == nullptr)
        return 0;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    void* bytes = size > 0 && std::fseek(file, 0, SEEK_SET) == 0 ? std::malloc(static_cast<size_t>(size)) : nullptr;
    bool read = bytes && std::fread(bytes, 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
    std::fclose(file);
    openmpt_module* module = nullptr;
    if (read)
        module = openmpt_module_create_from_memory2(bytes, static_cast<size_t>(size), openmpt_log_func_silent, nullptr,
                                                    openmpt_error_func_ignore, nullptr, nullptr, nullptr,
                                                    moduleControls);
    std::free(bytes);
    if (module == nullptr)
        return 0;

    openmpt_module* previous = nullptr;
    {
        OutputLock lock;
        previous = data.module;
        data.module = nullptr;
        unloadModule();
        data.module = module;
        if (++data.lastHandle == 0)
            ++data.lastHandle;
        data.handle = data.lastHandle;
        data.scaler = 1;
    }
    // Freed outside the lock, so the output never waits on it.
    if (previous)
        openmpt_module_destroy(previous);
    return data.handle;
}

bool musicPlay(uint32_t handle)
{
    OutputLock lock;
    if (!validHandle(handle))
        return false;
    data.playing = true;
    return true;
}

bool start()
{
    return data.open;
}

bool musicSetPositionScaler(uint32_t handle, uint32_t scaler)
{
    OutputLock lock;
    if (!validHandle(handle) || scaler == 0 || scaler > 0xFFFF)
        return false;
    data.scaler = scaler;
    return true;
}

// Position 0xFFFFFFFF plays on from where the module is; any other is an order and row to start at.
bool musicPlayEx(uint32_t handle, uint32_t position)
{
    OutputLock lock;
    if (!validHandle(handle))
        return false;
    if (position != 0xFFFFFFFFu && !seek(position))
        return false;
    data.playing = true;
    return true;
}

bool channelSetPosition(uint32_t handle, uint64_t position)
{
    OutputLock lock;
    if (!validHandle(handle))
        return false;
    return seek(position);
}

bool update()
{
    return data.open;
}

uint64_t channelGetPosition(uint32_t handle)
{
    OutputLock lock;
    if (!validHandle(handle))
        return 0;
    return heardPosition();
}

bool free()
{
    if (!data.open)
        return true;
    audio_output::close();
    data.open = false;
    unloadModule();
    data.volume = 100;
    return true;
}

}  // namespace audio
