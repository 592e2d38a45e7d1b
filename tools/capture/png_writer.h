// Writes 8-bit RGB pictures as PNG files through libpng, on a thread of its own.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// rgb holds height rows of width x 3 bytes, top row first. False when the file cannot be written.
// Fast compression: zlib level 1 and the Sub filter only.
bool writePng(const std::string& path, const unsigned char* rgb, int width, int height);

// Frames handed over by the renderer are written in the order given, each first under a temporary
// name and renamed once complete.
class PngQueue {
public:
    static constexpr int frameWidth = 640;
    static constexpr int frameHeight = 480;

    ~PngQueue();
    void start(const std::string& folder);
    // A free frame to fill; waits while the writer is behind. Null once a write has failed.
    unsigned char* frameBuffer();
    // Queues the filled frame under its frame number.
    void push(uint64_t frame);
    // Writes what is queued and stops; false when any file could not be written.
    bool finish();
    bool failed();
    std::string failure();

private:
    void run();

    static constexpr int slotCount = 8;
    std::string folder;
    std::vector<unsigned char> slots;
    uint64_t numbers[slotCount] = {};
    std::mutex lock;
    std::condition_variable wake, space;
    uint64_t pushed = 0, written = 0;
    bool closing = false, hasFailed = false, running = false;
    std::string failText;
    std::thread worker;
};
