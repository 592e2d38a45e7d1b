// Writes 8-bit RGB pictures as PNG files, compressed with ISA-L, on a thread of its own.
#pragma once

#include "frame_queue.h"
#include "platform/offline.h"

#include <cstdint>
#include <string>
#include <vector>

// Encodes RGB frames as PNG files: one IDAT, the Sub filter, ISA-L's deflate at level 1. Every
// buffer is made once, by the constructor.
class PngEncoder {
public:
    PngEncoder(int width, int height);

    // rgb holds height rows of width x 3 bytes, in the order given. False when the file cannot be
    // written whole.
    bool write(const std::string& path, const unsigned char* rgb,
               offline::RowOrder rows = offline::RowOrder::TopFirst);

private:
    int width, height;
    std::vector<unsigned char> filtered;     // a filter-type byte before each row
    std::vector<unsigned char> levelBuffer;  // the compressor's own tables
    std::vector<unsigned char> file;         // the whole PNG file
};

// Frames handed over by the renderer, bottom row first as GL reads them, are written in the order
// given, each first under a temporary name and renamed once complete.
class PngQueue {
public:
    static constexpr int frameWidth = 640;
    static constexpr int frameHeight = 480;

    ~PngQueue();
    void start(const std::string& folder);
    // A free frame to fill; waits while the writer is behind. Null once a write has failed.
    unsigned char* frameBuffer() { return queue.frameBuffer(); }
    // Queues the filled frame under its frame number.
    void push(uint64_t frame);
    // Writes what is queued and stops; false when any file could not be written.
    bool finish();
    bool failed() { return queue.failed(); }
    std::string failure() { return queue.failure(); }

private:
    void run();

    static constexpr int slotCount = 8;
    std::string folder;
    uint64_t numbers[slotCount] = {};
    FrameQueue queue;
};
