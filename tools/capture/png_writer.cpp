// Writes 8-bit RGB pictures as PNG files, compressed with ISA-L, on a thread of its own.
#include "png_writer.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <pthread.h>
#include <sched.h>

#include <cerrno>
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

bool PngOutput::open(std::string& error)
{
    if (!prepareFolder(folder, error))
        return false;
    folder = (std::filesystem::path(folder) / "").string();  // ends in the separator
    rendererEncoder.emplace(offline::frameWidth, offline::frameHeight);
    queue.start(itemCount, static_cast<size_t>(offline::frameWidth) * offline::frameHeight * 3, [this] { run(); });
    return true;
}

bool PngOutput::wanted(uint64_t frame) const
{
    for (const Range& range : ranges)
        if (frame >= range.first && frame <= range.last)
            return true;
    return false;
}

bool PngOutput::frame(const Frame& frame)
{
    if (queue.failed())
        return fail(queue.failure());
    if (!wanted(frame.number))
        return true;
    const unsigned char* rgb = frame.pixels();
    if (!rgb)
        return fail("cannot read frame " + std::to_string(frame.number));
    WorkQueue::Item* item = queue.tryClaim();
    if (!item)
        return write(*rendererEncoder, rendererFile, frame.number, rgb) || fail(queue.failure());
    std::memcpy(item->bytes, rgb, static_cast<size_t>(offline::frameWidth) * offline::frameHeight * 3);
    item->number = frame.number;
    queue.push();
    return true;
}

void PngOutput::run()
{
    // llvmpipe's threads keep both cores of a small machine busy: at idle priority the writer
    // fills the gaps they leave instead of holding them up, and the renderer does the rest.
    sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
    PngEncoder encoder(offline::frameWidth, offline::frameHeight);
    while (WorkQueue::Item* item = queue.next()) {
        write(encoder, writerFile, item->number, item->bytes);
        queue.release();
    }
}

bool PngOutput::write(PngEncoder& encoder, PartFile& file, uint64_t frame, const unsigned char* rgb)
{
    // Names in fixed buffers: the renderer writes here too, once a frame at most.
    char path[4096];
    int length = std::snprintf(path, sizeof path, "%s%06llu.png", folder.c_str(),
                               static_cast<unsigned long long>(frame));
    if (length < 0 || static_cast<size_t>(length) >= sizeof path || !file.name(path))
        return queue.fail(std::string("cannot write ") + path + ": file name too long");
    errno = 0;
    if (encoder.write(file.writePath(), rgb, offline::RowOrder::BottomFirst) && file.commit())
        return true;
    int code = errno;
    file.discard();
    return queue.fail(std::string("cannot write ") + path + (code ? std::string(": ") + std::strerror(code) : ""));
}

bool PngOutput::finish(const RunEnd&, std::string& error)
{
    queue.close();
    if (!queue.failed())
        return true;
    error = queue.failure();
    return false;
}

void PngOutput::discard()
{
    queue.cancel();
}
