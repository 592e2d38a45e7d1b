// Off-screen target and the scaled copy into the window (see picture_scaler.h).
#include "platform/picture_scaler.h"

#include <SDL.h>

#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Entry {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
    PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer;
    PFNGLFENCESYNCPROC fenceSync;  // null where fences are not held (below)
    PFNGLDELETESYNCPROC deleteSync;
};

// Mesa's llvmpipe (22.3 and later) sees that a batch of drawing is done by reading its fence's
// counter without the fence's lock, and may then free the fence while the last rasterizer thread
// to finish that batch is still about to unlock it: that late unlock writes into freed memory and
// corrupts the heap now and then. It shows when batches follow each other quickly, as they do
// here: each framebuffer switch, the clear and the swap hand one over. So on llvmpipe each of the
// scaler's batches is held by a sync object of ours until the next frame's swap has returned: a
// swap waits for the last batch, and llvmpipe's threads finish batches in order, so by then every
// thread has left every earlier fence, and the fence is freed when we let go of it. A real GPU's
// driver has no such fault: none are held there.
constexpr int heldPerFrame = 4;

struct HeldFences {
    GLsync sync[heldPerFrame];
    int count;
};

struct ScalerData {
    Entry gl = {};
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    int width = 0;
    int height = 0;
    HeldFences held[2] = {};  // this frame's and the last one's
    int frame = 0;
};

ScalerData data;

// Holds the fence of the drawing handed over so far (the call hands over what is pending).
void hold()
{
    HeldFences& now = data.held[data.frame];
    if (data.gl.fenceSync && now.count < heldPerFrame)
        now.sync[now.count++] = data.gl.fenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
}

void release(HeldFences& fences)
{
    for (int i = 0; i < fences.count; ++i)
        data.gl.deleteSync(fences.sync[i]);
    fences.count = 0;
}

bool framebufferObjectsAvailable()
{
    // glXGetProcAddress answers for any name, so the version or the extension decides.
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    bool three = version != nullptr && std::atoi(version) >= 3;
    if (!three && !SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object"))
        return false;
    Entry& gl = data.gl;
    gl.genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(SDL_GL_GetProcAddress("glGenFramebuffers"));
    gl.deleteFramebuffers =
        reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(SDL_GL_GetProcAddress("glDeleteFramebuffers"));
    gl.bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(SDL_GL_GetProcAddress("glBindFramebuffer"));
    gl.framebufferTexture2D =
        reinterpret_cast<PFNGLFRAMEBUFFERTEXTURE2DPROC>(SDL_GL_GetProcAddress("glFramebufferTexture2D"));
    gl.checkFramebufferStatus =
        reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(SDL_GL_GetProcAddress("glCheckFramebufferStatus"));
    gl.blitFramebuffer = reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(SDL_GL_GetProcAddress("glBlitFramebuffer"));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    int major = 0;
    int minor = 0;
    if (version != nullptr)
        std::sscanf(version, "%d.%d", &major, &minor);
    bool sync = renderer != nullptr && std::strstr(renderer, "llvmpipe") != nullptr &&
                (major * 10 + minor >= 32 || SDL_GL_ExtensionSupported("GL_ARB_sync"));
    gl.fenceSync = sync ? reinterpret_cast<PFNGLFENCESYNCPROC>(SDL_GL_GetProcAddress("glFenceSync")) : nullptr;
    gl.deleteSync = sync ? reinterpret_cast<PFNGLDELETESYNCPROC>(SDL_GL_GetProcAddress("glDeleteSync")) : nullptr;
    if (!gl.deleteSync)
        gl.fenceSync = nullptr;
    return gl.genFramebuffers && gl.deleteFramebuffers && gl.bindFramebuffer && gl.framebufferTexture2D &&
           gl.checkFramebufferStatus && gl.blitFramebuffer;
}

// A texture of the target; `carryOver` copies the default framebuffer's lower-left corner into it
// (colour or depth, by the texture's format).
GLuint makeTexture(GLint internalFormat, GLenum format, GLenum type, bool carryOver)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, data.width, data.height, 0, format, type, nullptr);
    if (carryOver)
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, data.width, data.height);
    return name;
}

}  // namespace

namespace picture_scaler {

Rect fit(int width, int height, int windowWidth, int windowHeight)
{
    if (width <= 0 || height <= 0 || windowWidth <= 0 || windowHeight <= 0)
        return {0, 0, 0, 0};
    int64_t w = windowWidth;
    int64_t h = windowHeight;
    // Rounded to the nearest pixel; the bars share what is left, the odd pixel going to the top
    // and right.
    if (w * height <= h * width)
        h = (w * height * 2 + width) / (2 * width);
    else
        w = (h * width * 2 + height) / (2 * height);
    return {static_cast<int>((windowWidth - w) / 2), static_cast<int>((windowHeight - h) / 2), static_cast<int>(w),
            static_cast<int>(h)};
}

bool begin(int width, int height, bool carryOver)
{
    if (data.framebuffer != 0)
        return true;
    if (!framebufferObjectsAvailable())
        return false;
    data.width = width;
    data.height = height;

    // The demo's texture binding and unpack state are its own.
    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    data.colour = makeTexture(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, carryOver);
    data.depth = makeTexture(GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, carryOver);
    glPopClientAttrib();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));

    const Entry& gl = data.gl;
    gl.genFramebuffers(1, &data.framebuffer);
    gl.bindFramebuffer(GL_FRAMEBUFFER, data.framebuffer);
    gl.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, data.colour, 0);
    gl.framebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, data.depth, 0);
    if (gl.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        end();
        return false;
    }
    if (!carryOver) {
        // A new context's clear values: black, depth 1.
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    hold();
    return true;
}

bool active()
{
    return data.framebuffer != 0;
}

void present(int windowWidth, int windowHeight, bool nearest, void (*swap)())
{
    const Entry& gl = data.gl;
    GLfloat clearColour[4];
    GLboolean colourMask[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);

    gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, data.framebuffer);
    hold();  // the picture
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    hold();  // the clear, which the blit's own framebuffer switch would hand over alone
    Rect to = fit(data.width, data.height, windowWidth, windowHeight);
    if (to.width > 0 && to.height > 0)
        gl.blitFramebuffer(0, 0, data.width, data.height, to.x, to.y, to.x + to.width, to.y + to.height,
                           GL_COLOR_BUFFER_BIT, nearest ? GL_NEAREST : GL_LINEAR);

    swap();
    hold();  // the blit
    data.frame ^= 1;
    release(data.held[data.frame]);

    gl.bindFramebuffer(GL_FRAMEBUFFER, data.framebuffer);
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
}

void end()
{
    release(data.held[0]);
    release(data.held[1]);
    if (data.gl.bindFramebuffer)
        data.gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    if (data.framebuffer != 0)
        data.gl.deleteFramebuffers(1, &data.framebuffer);
    GLuint textures[2] = {data.colour, data.depth};
    if (data.colour != 0 || data.depth != 0)
        glDeleteTextures(2, textures);
    data.framebuffer = 0;
    data.colour = 0;
    data.depth = 0;
}

}  // namespace picture_scaler
