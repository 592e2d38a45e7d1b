// Loads the one TGA kind the demo uses (uncompressed true colour, 24 or 32 bits, no id field, no
// colour map, zero origin) into a GL texture. Every reject is silent apart from the log line.
#include "render/texture.h"

#include "platform/regular_file.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The fixed header, then the size and the depth into the record; the size is stored before it is
// tested.
static bool readHeader(FILE* file, Texture& texture)
{
    static const unsigned char expectedHeader[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};

    unsigned char header[12];
    if (std::fread(header, 1, sizeof header, file) != sizeof header
        || std::memcmp(header, expectedHeader, sizeof header) != 0)
        return false;

    unsigned char info[6];
    if (std::fread(info, 1, sizeof info, file) != sizeof info)
        return false;
    texture.width = info[0] + 256u * info[1];
    texture.height = info[2] + 256u * info[3];

    if (texture.width == 0 || texture.height == 0)
        return false;
    if (info[4] != 24 && info[4] != 32)
        return false;
    texture.bitsPerPixel = info[4];
    return true;
}

// A picture the GL cannot take would fail at upload; refuse it before allocating for it.
static bool fitsTheGL(const Texture& texture)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    return maxSize <= 0
        || (texture.width <= static_cast<uint32_t>(maxSize) && texture.height <= static_cast<uint32_t>(maxSize));
}

// The pixels, turned from B,G,R(,A) to R,G,B(,A); after a short read the record keeps no buffer.
static bool readPixels(FILE* file, Texture& texture)
{
    // Computed in size_t: 65535 x 65535 x 4 does not fit in 32 bits.
    size_t bytesPerPixel = texture.bitsPerPixel / 8;
    size_t size = static_cast<size_t>(texture.width) * texture.height * bytesPerPixel;
    texture.pixels = static_cast<unsigned char*>(std::malloc(size));
    if (!texture.pixels)
        return false;

    if (std::fread(texture.pixels, 1, size, file) != size) {
        std::free(texture.pixels);
        texture.pixels = nullptr;
        return false;
    }

    for (size_t i = 0; i < size; i += bytesPerPixel) {
        unsigned char blue = texture.pixels[i];
        texture.pixels[i] = texture.pixels[i + 2];
        texture.pixels[i + 2] = blue;
    }
    return true;
}

static void upload(Texture& texture)
{
    glGenTextures(1, &texture.id);
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    // A 24-bit row whose length is not a multiple of 4 would make the upload read past the
    // buffer under the default alignment, so such rows alone are unpacked tightly.
    bool unaligned = (texture.width * (texture.bitsPerPixel / 8)) % 4 != 0;
    GLint alignment = 4;
    if (unaligned) {
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    GLenum format = texture.bitsPerPixel == 24 ? GL_RGB : GL_RGBA;
    glTexImage2D(GL_TEXTURE_2D, 0, format, texture.width, texture.height, 0, format, GL_UNSIGNED_BYTE,
                 texture.pixels);
    if (unaligned)
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

bool loadTGA(Texture& texture, const char* path)
{
    FILE* file = platform::openRegularFile(path);
    std::printf("Loading texture %s", path);
    if (!file)
        return false;
    return loadTGAFrom(texture, file);
}

bool loadTGAFrom(Texture& texture, FILE* file)
{
    bool read = readHeader(file, texture) && fitsTheGL(texture) && readPixels(file, texture);
    std::fclose(file);
    if (!read)
        return false;

    upload(texture);
    std::fputs("-> ok\n", stdout);
    return true;
}
