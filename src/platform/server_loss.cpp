#include "platform/server_loss.h"

#include <cstdio>
#include <ctime>

namespace server_loss {

uint64_t nowNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

void Follower::reset()
{
    lost = false;
    told = false;
}

void Follower::markLost(uint64_t heard)
{
    if (lost)
        return;
    lost = true;
    lostAtNs = nowNs();
    heardAtLoss = heard;
}

uint64_t Follower::follow(audio_output::MixFunction mix, uint32_t rate, uint64_t& written)
{
    if (!told) {
        std::fprintf(stderr, "plomvardix: the sound server went away; the music goes on silently, by the clock\n");
        told = true;
    }
    uint64_t target = heardAtLoss + (nowNs() - lostAtNs) * rate / 1000000000u;
    for (uint64_t budget = rate; written < target && budget > 0;) {
        uint64_t want = target - written;
        uint32_t frames = static_cast<uint32_t>(want < scratchFrames ? want : scratchFrames);
        if (frames > budget)
            frames = static_cast<uint32_t>(budget);
        mix(scratch, frames);
        written += frames;
        budget -= frames;
    }
    return target < written ? target : written;
}

}  // namespace server_loss
