// What a sound server's output does once the server has gone mid-run: the position goes on from
// where it was on the real clock, and the music is mixed (and dropped) at that pace, so the
// pictures keep their timeline. Shared by the PulseAudio and the PipeWire outputs.
#pragma once
#include "platform/audio_output.h"

#include <cstdint>

namespace server_loss {

uint64_t nowNs();  // the monotonic clock

struct Follower {
    static constexpr uint32_t scratchFrames = 4096;

    bool lost = false;
    uint64_t lostAtNs = 0;
    uint64_t heardAtLoss = 0;
    bool told = false;
    int16_t scratch[scratchFrames * 2] = {};

    void reset();
    // The server went away with `heard` frames heard; once only.
    void markLost(uint64_t heard);
    // Says so once, mixes and drops what the clock has played since (at most a second a call, so
    // a long stall is not made up for at once) and returns the frames heard now.
    uint64_t follow(audio_output::MixFunction mix, uint32_t rate, uint64_t& written);
};

}  // namespace server_loss
