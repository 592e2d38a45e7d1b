// Writes 16-bit stereo PCM as a WAV file, streamed: the sizes in the header are filled at the end.
#include "wav_writer.h"

namespace {

void put32(unsigned char* at, uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        at[k] = static_cast<unsigned char>(value >> (8 * k));
}

void put16(unsigned char* at, uint16_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

constexpr int headerBytes = 44;

void fillHeader(unsigned char* header, uint32_t rate, uint32_t dataBytes)
{
    const char* tags[] = {"RIFF", "WAVE", "fmt ", "data"};
    const int at[] = {0, 8, 12, 36};
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 4; ++c)
            header[at[k] + c] = static_cast<unsigned char>(tags[k][c]);
    put32(header + 4, 36 + dataBytes);
    put32(header + 16, 16);
    put16(header + 20, 1);  // PCM
    put16(header + 22, 2);
    put32(header + 24, rate);
    put32(header + 28, rate * 4);
    put16(header + 32, 4);
    put16(header + 34, 16);
    put32(header + 40, dataBytes);
}

}  // namespace

bool WavWriter::open(const std::string& path)
{
    file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    unsigned char header[headerBytes] = {};
    fillHeader(header, 44100, 0);
    failedWrite = std::fwrite(header, 1, headerBytes, file) != headerBytes;
    return !failedWrite;
}

void WavWriter::write(const int16_t* stereo, uint32_t frames, uint32_t frameRate)
{
    if (!file || frames == 0)
        return;
    if (rate == 0)
        rate = frameRate;
    // Samples are little-endian in the file, whatever the machine.
    unsigned char buffer[4096];
    uint32_t done = 0;
    while (done < frames) {
        uint32_t n = frames - done < 1024 ? frames - done : 1024;
        for (uint32_t k = 0; k < n * 2; ++k)
            put16(buffer + 2 * k, static_cast<uint16_t>(stereo[done * 2 + k]));
        if (std::fwrite(buffer, 4, n, file) != n)
            failedWrite = true;
        done += n;
    }
    dataBytes += static_cast<uint64_t>(frames) * 4;
}

bool WavWriter::finish()
{
    if (!file)
        return false;
    if (dataBytes > 0xffffffffu - 36)
        failedWrite = true;  // beyond what a WAV header can say
    unsigned char header[headerBytes] = {};
    fillHeader(header, rate ? rate : 44100, static_cast<uint32_t>(dataBytes));
    if (std::fseek(file, 0, SEEK_SET) != 0 || std::fwrite(header, 1, headerBytes, file) != headerBytes)
        failedWrite = true;
    if (std::fclose(file) != 0)
        failedWrite = true;
    file = nullptr;
    return !failedWrite;
}
