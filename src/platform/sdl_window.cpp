#include "platform/sdl_window.h"

#include <cstdio>

namespace {

struct WindowData {
    const char* who = "plomvardix";
    bool videoOpen = false;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool formatChosen = false;
};

WindowData data;

}  // namespace

namespace sdl_window {

bool openVideo(const char* who)
{
    data.who = who;
    if (data.videoOpen)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "%s: SDL video: %s\n", data.who, SDL_GetError());
        return false;
    }
    data.videoOpen = true;
    return true;
}

void closeVideo()
{
    if (data.videoOpen) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        data.videoOpen = false;
    }
}

bool videoOpen()
{
    return data.videoOpen;
}

bool createWindow(const char* title, int x, int y, int width, int height, Uint32 flags,
                  const platform::PixelFormat& format)
{
    if (!data.videoOpen || data.window)
        return false;
    // Legacy GL: a compatibility context with no version asked for, set before the window exists.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format.doubleBuffer ? 1 : 0);
    data.window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!data.window) {
        std::fprintf(stderr, "%s: SDL window: %s\n", data.who, SDL_GetError());
        return false;
    }
    return true;
}

bool setPixelFormat(int format)
{
    data.formatChosen = format == 1 && data.window;
    return data.formatChosen;
}

bool createContext()
{
    if (!data.formatChosen || data.context)
        return false;
    data.context = SDL_GL_CreateContext(data.window);
    if (!data.context) {
        std::fprintf(stderr, "%s: GL context: %s\n", data.who, SDL_GetError());
        return false;
    }
    return true;
}

bool makeContextCurrent()
{
    return data.context && SDL_GL_MakeCurrent(data.window, data.context) == 0;
}

bool releaseContextCurrent()
{
    return SDL_GL_MakeCurrent(data.window, nullptr) == 0;
}

bool deleteContext()
{
    if (!data.context)
        return false;
    SDL_GL_DeleteContext(data.context);
    data.context = nullptr;
    return true;
}

void releaseDrawingSurface()
{
    data.formatChosen = false;
}

bool destroyWindow()
{
    if (!data.window)
        return false;
    SDL_DestroyWindow(data.window);
    data.window = nullptr;
    return true;
}

SDL_Window* window()
{
    return data.window;
}

SDL_GLContext context()
{
    return data.context;
}

}  // namespace sdl_window
