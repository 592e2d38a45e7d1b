// Writes 16-bit stereo PCM as a WAV file, streamed: the sizes in the header are filled at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class WavWriter {
public:
    bool open(const std::string& path);
    // Interleaved stereo frames; the rate of the first call is the file's.
    void write(const int16_t* stereo, uint32_t frames, uint32_t rate);
    // Fixes the header and closes; false when anything failed along the way.
    bool finish();
    bool failed() const { return failedWrite; }

private:
    FILE* file = nullptr;
    uint32_t rate = 0;
    uint64_t dataBytes = 0;
    bool failedWrite = false;
};
