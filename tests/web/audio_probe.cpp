// The mixer on libopenmpt in the browser, through the web audio output, for a page that checks the
// position it reports against the AudioContext's clock (audio_probe.html). Also renders the module
// on its own, in the mixer's chunks, to know the frame each row truly starts at.
#include "music/mixer.h"
#include "platform/audio_output.h"

#include <libopenmpt/libopenmpt.h>

#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char* const modulePath = "glimo.it";
constexpr uint32_t rate = 44100;
constexpr uint32_t scaler = 12;
constexpr int maxRows = 4096;

uint32_t handle = 0;
uint32_t rowStarts[maxRows];  // frame at which the n-th row heard starts, from the start of the song
uint32_t rowKeys[maxRows];    // and its order and row, as order << 16 | row
int rowCount = 0;

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int probe_start()
{
    if (!audio::init(rate))
        return 0;
    handle = audio::musicLoad(modulePath);
    if (handle == 0)
        return 0;
    audio::musicSetPositionScaler(handle, scaler);
    return audio::musicPlayEx(handle, 0) ? 1 : 0;
}

// Order in the low 16 bits, row (in twelfths) in the high ones, as the demo reads it.
EMSCRIPTEN_KEEPALIVE uint32_t probe_position()
{
    return static_cast<uint32_t>(audio::channelGetPosition(handle));
}

EMSCRIPTEN_KEEPALIVE double probe_frames_heard()
{
    audio_output::lock();
    double frames = static_cast<double>(audio_output::framesHeard());
    audio_output::unlock();
    return frames;
}

EMSCRIPTEN_KEEPALIVE int probe_volume(uint32_t volume)
{
    return audio::setVolume(volume) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int probe_seek(uint32_t order)
{
    return audio::channelSetPosition(handle, order) ? 1 : 0;
}

// The song rendered apart, in 32-frame reads like the mixer's: the start frame of each row in
// playing order. Returns the rows found.
EMSCRIPTEN_KEEPALIVE int probe_render_rows()
{
    std::FILE* file = std::fopen(modulePath, "rb");
    if (file == nullptr)
        return 0;
    static char bytes[4 << 20];
    size_t size = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    const openmpt_module_initial_ctl controls[] = {{"play.at_end", "stop"}, {"dither", "0"}, {nullptr, nullptr}};
    openmpt_module* module = openmpt_module_create_from_memory2(bytes, size, openmpt_log_func_silent, nullptr,
                                                               openmpt_error_func_ignore, nullptr, nullptr,
                                                               nullptr, controls);
    if (module == nullptr)
        return 0;
    static int16_t chunk[64];
    int lastOrder = -1;
    int lastRow = -1;
    uint32_t frame = 0;
    rowCount = 0;
    while (rowCount < maxRows && openmpt_module_read_interleaved_stereo(module, rate, 32, chunk) == 32) {
        int order = openmpt_module_get_current_order(module);
        int row = openmpt_module_get_current_row(module);
        if (order != lastOrder || row != lastRow) {
            rowKeys[rowCount] = static_cast<uint32_t>(order) << 16 | static_cast<uint32_t>(row);
            rowStarts[rowCount++] = frame;
        }
        lastOrder = order;
        lastRow = row;
        frame += 32;
    }
    openmpt_module_destroy(module);
    return rowCount;
}

EMSCRIPTEN_KEEPALIVE double probe_row_start(int index)
{
    return index >= 0 && index < rowCount ? rowStarts[index] : -1;
}

EMSCRIPTEN_KEEPALIVE int probe_row_index(uint32_t order, uint32_t row, int from)
{
    for (int i = from < 0 ? 0 : from; i < rowCount; ++i)
        if (rowKeys[i] == (order << 16 | row))
            return i;
    return -1;
}

}  // extern "C"

int main()
{
    return 0;
}
