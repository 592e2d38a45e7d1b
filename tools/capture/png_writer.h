// Writes 8-bit RGB pictures as PNG files, compressed with ISA-L, on a thread of its own.
#pragma once

#include "frame_queue.h"
#include "platform/offline.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Encodes RGB frames as PNG files: one IDAT, the Sub filter, ISA-L's deflate at level 1. Every
// buffer is made once, by the constructor.
class PngEncoder {
public:
    PngEncoder(int width, int height);

    // rgb holds height rows of width x 3 bytes, in the order given. False when the file cannot be
    // written whole.
    bool write(const char* path, const unsigned char* rgb,
               offline::RowOrder rows = offline::RowOrder::TopFirst);

private:
    int width, height;
    std::vector<unsigned char> filtered;     // a filter-type byte before each row
    std::vector<unsigned char> levelBuffer;  // the compressor's own tables
    std::vector<unsigned char> file;         // the whole PNG file
};

// Frames handed over by the renderer, bottom row first as GL reads them, are written each under its
// frame number, first under a temporary name and renamed once complete. The writer thread runs
// only on processor time nothing else wants; whenever it is still busy, the renderer writes the
// frame itself, so the writer can neither hold the rendering up nor starve it of a core.
class PngQueue {
public:
    static constexpr int frameWidth = 640;
    static constexpr int frameHeight = 480;

    ~PngQueue();
    void start(const std::string& folder);
    // A frame to fill: the writer's when it has room, else the renderer's own. Null once a write
    // has failed.
    unsigned char* frameBuffer();
    // Hands the filled frame to the writer, or writes it here and now when it is the renderer's own.
    void push(uint64_t frame);
    // Writes what is queued and stops; false when any file could not be written.
    bool finish();
    bool failed() { return queue.failed(); }
    std::string failure() { return queue.failure(); }

private:
    void run();
    void write(PngEncoder& encoder, uint64_t frame, const unsigned char* rgb);

    // Few slots: what is still queued at the end is written at idle priority.
    static constexpr int slotCount = 2;
    std::string folder;
    uint64_t numbers[slotCount] = {};
    FrameQueue queue;
    std::optional<PngEncoder> rendererEncoder;
    std::vector<unsigned char> rendererFrame;
    bool filledOwn = false;  // the last frameBuffer() was the renderer's own
};
