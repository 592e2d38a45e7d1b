#include "music/music_player.h"

#include "music/mixer.h"

MusicPlayer music;

int MusicPlayer::init()
{
    positionScaler = 12;
    if (!audio::init(44100))
        return -1;
    audio::setVolume(100);
    playing = false;
    return 0;
}

uint32_t MusicPlayer::load(const char* path)
{
    uint32_t result = audio::musicLoad(path);
    if (result == 0)
        return 0;
    handle = result;
    audio::musicPlay(handle);
    return handle;
}

void MusicPlayer::start()
{
    audio::start();
    audio::musicSetPositionScaler(handle, positionScaler);
    audio::musicPlayEx(handle, 0);
    playing = true;
}

int MusicPlayer::resume()
{
    audio::musicPlay(handle);
    return 0;
}

bool MusicPlayer::setPosition(int order, int row)
{
    int32_t word = static_cast<int32_t>(((static_cast<uint32_t>(row) & 0xFFFF) << 16) |
                                        (static_cast<uint32_t>(order) & 0xFFFF));
    return audio::channelSetPosition(handle, static_cast<uint64_t>(static_cast<int64_t>(word)));
}

void MusicPlayer::update()
{
    audio::update();
    uint32_t word = static_cast<uint32_t>(audio::channelGetPosition(handle));
    currentOrder = static_cast<uint16_t>(word & 0xFFFF);
    // positionScaler is 0 only before init; keep the division defined then.
    int32_t scaler = positionScaler > 0 ? positionScaler : 1;
    currentRow = static_cast<uint16_t>((word >> 16) / static_cast<uint32_t>(scaler));
}

int MusicPlayer::close()
{
    audio::free();
    return 0;
}
