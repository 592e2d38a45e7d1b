// Writes 8-bit RGB pictures as PNG files through libpng, on a thread of its own.
#include "png_writer.h"

#include <png.h>

#include <cstdio>
#include <filesystem>

bool writePng(const std::string& path, const unsigned char* rgb, int width, int height)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return false;
    }
    // libpng reports its errors by longjmp; nothing with a destructor lives in this frame.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    // zlib's default level costs more than rendering the frame; level 1 with one filter is a
    // few times faster for files a little larger.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgb + static_cast<size_t>(y) * width * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

PngQueue::~PngQueue()
{
    finish();
}

void PngQueue::start(const std::string& where)
{
    folder = where;
    slots.assign(static_cast<size_t>(slotCount) * frameWidth * frameHeight * 3, 0);
    running = true;
    worker = std::thread(&PngQueue::run, this);
}

unsigned char* PngQueue::frameBuffer()
{
    std::unique_lock<std::mutex> hold(lock);
    space.wait(hold, [&] { return hasFailed || pushed - written < static_cast<uint64_t>(slotCount); });
    if (hasFailed)
        return nullptr;
    return slots.data() + (pushed % slotCount) * (static_cast<size_t>(frameWidth) * frameHeight * 3);
}

void PngQueue::push(uint64_t frame)
{
    std::lock_guard<std::mutex> hold(lock);
    numbers[pushed % slotCount] = frame;
    ++pushed;
    wake.notify_one();
}

void PngQueue::run()
{
    for (;;) {
        std::unique_lock<std::mutex> hold(lock);
        wake.wait(hold, [&] { return closing || hasFailed || written < pushed; });
        if (hasFailed || written == pushed)
            return;
        uint64_t frame = numbers[written % slotCount];
        const unsigned char* rgb = slots.data() + (written % slotCount) * (static_cast<size_t>(frameWidth) * frameHeight * 3);
        hold.unlock();

        char name[32];
        std::snprintf(name, sizeof name, "%06llu.png", static_cast<unsigned long long>(frame));
        std::string path = (std::filesystem::path(folder) / name).string();
        std::string part = path + ".part";
        bool ok = writePng(part, rgb, frameWidth, frameHeight) && std::rename(part.c_str(), path.c_str()) == 0;
        if (!ok)
            std::remove(part.c_str());

        hold.lock();
        if (!ok) {
            hasFailed = true;
            failText = "cannot write " + path;
        }
        ++written;
        space.notify_all();
    }
}

bool PngQueue::finish()
{
    if (running) {
        {
            std::lock_guard<std::mutex> hold(lock);
            closing = true;
            wake.notify_all();
        }
        worker.join();
        running = false;
    }
    return !failed();
}

bool PngQueue::failed()
{
    std::lock_guard<std::mutex> hold(lock);
    return hasFailed;
}

std::string PngQueue::failure()
{
    std::lock_guard<std::mutex> hold(lock);
    return failText;
}
