// Writes 8-bit RGB pictures as PNG files, compressed with ISA-L, on a thread of its own.
#pragma once

#include "output.h"
#include "output_file.h"
#include "work_queue.h"
#include "platform/offline.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
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

// The PNG frames asked for, each under its frame number, first under a temporary name and renamed
// once complete. A frame goes to the writer thread when it has room, which runs only on processor
// time nothing else wants; whenever it is still busy, the renderer writes the frame itself, so the
// writer can neither hold the rendering up nor starve it of a core.
class PngOutput : public Output {
public:
    struct Range {
        uint64_t first, last;
    };
    PngOutput(std::string folder, std::vector<Range> frames) : folder(std::move(folder)), ranges(std::move(frames)) {}
    bool open(std::string& error) override;
    bool frame(const Frame& frame) override;
    // Writes what is queued and stops; complete files stay.
    bool finish(const RunEnd& end, std::string& error) override;
    // Stops at once; complete files stay.
    void discard() override;

private:
    bool wanted(uint64_t frame) const;
    void run();
    // False with the reason kept by the queue.
    bool write(PngEncoder& encoder, PartFile& file, uint64_t frame, const unsigned char* rgb);

    // Few items: what is still queued at the end is written at idle priority.
    static constexpr int itemCount = 2;
    std::string folder;
    std::vector<Range> ranges;
    WorkQueue queue;
    std::optional<PngEncoder> rendererEncoder;
    PartFile rendererFile, writerFile;
};
