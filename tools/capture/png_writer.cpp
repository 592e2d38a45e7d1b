// Writes 8-bit RGB pictures as PNG files, compressed with ISA-L, on a thread of its own.
#include "png_writer.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <pthread.h>
#include <sched.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr size_t chunkOverhead = 12;  // length, type, CRC
constexpr size_t headerBytes = 13;
constexpr int filterSub = 1;

unsigned char* putWord(unsigned char* at, uint32_t value)
{
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
    return at + 4;
}

// Fills in a chunk whose data (length bytes) already stands after its 8-byte head; returns its end.
unsigned char* sealChunk(unsigned char* at, const char* type, size_t length)
{
    putWord(at, static_cast<uint32_t>(length));
    std::memcpy(at + 4, type, 4);
    uint32_t crc = crc32_gzip_refl(0, at + 4, 4 + length);
    return putWord(at + 8 + length, crc);
}

}  // namespace

PngEncoder::PngEncoder(int w, int h)
    : width(w), height(h), filtered(static_cast<size_t>(w * 3 + 1) * h), levelBuffer(ISAL_DEF_LVL1_DEFAULT)
{
    // Room for a frame that does not compress at all, stored blocks and all.
    file.resize(sizeof signature + 3 * chunkOverhead + headerBytes + filtered.size() + filtered.size() / 8 + 1024);
}

bool PngEncoder::write(const char* path, const unsigned char* rgb, offline::RowOrder rows)
{
    // Sub: each byte less the same colour's byte one pixel to the left; cheap, and it turns the
    // demo's gradients and flat areas into runs deflate packs well. Sixteen bytes at a time, as
    // the compiler does not do it by itself at this optimisation level.
    using Bytes16 = unsigned char __attribute__((vector_size(16)));
    const size_t stride = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        const int source = rows == offline::RowOrder::TopFirst ? y : height - 1 - y;
        const unsigned char* __restrict in = rgb + source * stride;
        unsigned char* __restrict out = filtered.data() + y * (stride + 1);
        *out++ = filterSub;
        std::memcpy(out, in, 3);
        size_t x = 3;
        for (; x + sizeof(Bytes16) <= stride; x += sizeof(Bytes16)) {
            Bytes16 here, left;
            std::memcpy(&here, in + x, sizeof here);
            std::memcpy(&left, in + x - 3, sizeof left);
            here -= left;
            std::memcpy(out + x, &here, sizeof here);
        }
        for (; x < stride; ++x)
            out[x] = static_cast<unsigned char>(in[x] - in[x - 3]);
    }

    unsigned char* at = file.data();
    std::memcpy(at, signature, sizeof signature);
    at += sizeof signature;
    unsigned char* data = at + 8;
    data = putWord(data, static_cast<uint32_t>(width));
    data = putWord(data, static_cast<uint32_t>(height));
    const unsigned char rest[5] = {8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, adaptive filters, no interlace
    std::memcpy(data, rest, sizeof rest);
    at = sealChunk(at, "IHDR", headerBytes);

    unsigned char* idat = at + 8;
    size_t room = file.size() - static_cast<size_t>(idat - file.data()) - 4 - chunkOverhead;
    // ISA-L's level 1 packs a frame in about 2 ms, under half the time of libdeflate's fastest level
    // and a quarter of zlib's level 1, for files within a few percent of the latter's: the writer
    // shares two cores with llvmpipe, so its time comes straight off the rendering.
    isal_zstream stream;
    isal_deflate_stateless_init(&stream);
    stream.level = 1;
    stream.level_buf = levelBuffer.data();
    stream.level_buf_size = static_cast<uint32_t>(levelBuffer.size());
    stream.gzip_flag = IGZIP_ZLIB;
    stream.end_of_stream = 1;
    stream.flush = NO_FLUSH;
    stream.next_in = filtered.data();
    stream.avail_in = static_cast<uint32_t>(filtered.size());
    stream.next_out = idat;
    stream.avail_out = static_cast<uint32_t>(room);
    if (isal_deflate_stateless(&stream) != COMP_OK)
        return false;
    at = sealChunk(at, "IDAT", stream.total_out);
    at = sealChunk(at, "IEND", 0);

    FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    size_t size = static_cast<size_t>(at - file.data());
    bool ok = std::fwrite(file.data(), 1, size, out) == size;
    return std::fclose(out) == 0 && ok;
}

PngQueue::~PngQueue()
{
    finish();
}

void PngQueue::start(const std::string& where)
{
    folder = (std::filesystem::path(where) / "").string();  // ends in the separator
    rendererEncoder.emplace(frameWidth, frameHeight);
    rendererFrame.assign(static_cast<size_t>(frameWidth) * frameHeight * 3, 0);
    queue.start(slotCount, rendererFrame.size(), [this] { run(); });
}

unsigned char* PngQueue::frameBuffer()
{
    unsigned char* slot = queue.freeFrameBuffer();
    if (!slot && queue.failed())
        return nullptr;
    filledOwn = slot == nullptr;
    return filledOwn ? rendererFrame.data() : slot;
}

void PngQueue::push(uint64_t frame)
{
    if (filledOwn) {
        write(*rendererEncoder, frame, rendererFrame.data());
        return;
    }
    numbers[queue.pushed() % slotCount] = frame;
    queue.push();
}

void PngQueue::run()
{
    // llvmpipe's threads keep both cores of a small machine busy: at idle priority the writer
    // fills the gaps they leave instead of holding them up, and the renderer does the rest.
    sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
    PngEncoder encoder(frameWidth, frameHeight);
    for (;;) {
        auto hold = queue.lock();
        queue.waitForWork(hold, [] { return false; });
        if (queue.failedLocked() || !queue.frameQueued())
            return;
        uint64_t frame = numbers[queue.taken() % slotCount];
        const unsigned char* rgb = queue.oldest();
        hold.unlock();
        write(encoder, frame, rgb);
        queue.release();
    }
}

void PngQueue::write(PngEncoder& encoder, uint64_t frame, const unsigned char* rgb)
{
    // Names in fixed buffers: the renderer writes here too, once a frame at most.
    char path[4096], part[4096 + 8];
    int length = std::snprintf(path, sizeof path, "%s%06llu.png", folder.c_str(),
                               static_cast<unsigned long long>(frame));
    std::snprintf(part, sizeof part, "%s.part", path);
    const bool named = length > 0 && static_cast<size_t>(length) < sizeof path;
    bool ok = named && encoder.write(part, rgb, offline::RowOrder::BottomFirst) && std::rename(part, path) == 0;
    if (!ok) {
        if (named)
            std::remove(part);
        queue.fail(std::string("cannot write ") + path);
    }
}

bool PngQueue::finish()
{
    queue.close();
    return !failed();
}
