// libFuzzer target for the TGA loader. The loader reads the input through a memory file; the few GL
// entry points it calls are stood in for here, and the upload touches every byte the GL would read,
// so a buffer that is too short for the header's size or the unpack alignment is caught.
#include "render/texture.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Small, so that the sizes a header claims stay cheap to allocate; the loader takes the same path
// for any limit.
const GLint maxTextureSize = 1024;

GLint unpackAlignment = 4;
GLuint lastName = 0;
GLuint boundName = 0;

}  // namespace

void glGetIntegerv(GLenum name, GLint* value)
{
    if (name == GL_MAX_TEXTURE_SIZE)
        *value = maxTextureSize;
    else if (name == GL_UNPACK_ALIGNMENT)
        *value = unpackAlignment;
    else
        std::abort();
}

void glPixelStorei(GLenum name, GLint value)
{
    if (name != GL_UNPACK_ALIGNMENT || (value != 1 && value != 2 && value != 4 && value != 8))
        std::abort();
    unpackAlignment = value;
}

void glGenTextures(GLsizei n, GLuint* names)
{
    for (GLsizei i = 0; i < n; ++i)
        names[i] = ++lastName;
}

void glBindTexture(GLenum target, GLuint name)
{
    if (target != GL_TEXTURE_2D)
        std::abort();
    boundName = name;
}

void glTexParameterf(GLenum target, GLenum, GLfloat)
{
    if (target != GL_TEXTURE_2D || boundName == 0)
        std::abort();
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels)
{
    if (target != GL_TEXTURE_2D || level != 0 || border != 0 || type != GL_UNSIGNED_BYTE
        || static_cast<GLenum>(internalFormat) != format || (format != GL_RGB && format != GL_RGBA)
        || width <= 0 || height <= 0 || width > maxTextureSize || height > maxTextureSize || !pixels)
        std::abort();
    // The rows as the GL unpacks them: each starts on a multiple of the alignment.
    size_t rowBytes = static_cast<size_t>(width) * (format == GL_RGB ? 3 : 4);
    size_t stride = (rowBytes + unpackAlignment - 1) / unpackAlignment * unpackAlignment;
    const unsigned char* bytes = static_cast<const unsigned char*>(pixels);
    volatile unsigned sum = 0;
    for (GLsizei row = 0; row < height; ++row)
        for (size_t i = 0; i < rowBytes; ++i)
            sum = sum + bytes[row * stride + i];
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The loader's "-> ok" lines would only slow the run down.
    if (!std::freopen("/dev/null", "w", stdout))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file)
        std::abort();
    Texture texture{};
    bool loaded = loadTGAFrom(texture, file);
    if (loaded != (texture.id != 0) || loaded != (texture.pixels != nullptr) || unpackAlignment != 4)
        std::abort();
    if (loaded && (texture.width == 0 || texture.height == 0
                   || (texture.bitsPerPixel != 24 && texture.bitsPerPixel != 32)))
        std::abort();
    std::free(texture.pixels);
    return 0;
}
