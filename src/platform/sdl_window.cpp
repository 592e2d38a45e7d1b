#include "platform/sdl_window.h"

#include <cstdio>

namespace {

using platform::WindowStep;

struct WindowData {
    const char* who = "plomvardix";
    bool videoOpen = false;
    SDL_Window* window = nullptr;
    bool surfaceHeld = false;  // SDL's window is its own surface; held from its step to the release
    SDL_GLContext context = nullptr;
};

WindowData data;

bool makeWindow(const char* title, const SDL_Rect& place, Uint32 flags, const platform::PixelFormat& format)
{
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
    data.window = SDL_CreateWindow(title, place.x, place.y, place.w, place.h, flags);
    if (!data.window) {
        std::fprintf(stderr, "%s: SDL window: %s\n", data.who, SDL_GetError());
        return false;
    }
    return true;
}

bool makeContext()
{
    data.context = SDL_GL_CreateContext(data.window);
    if (!data.context) {
        std::fprintf(stderr, "%s: GL context: %s\n", data.who, SDL_GetError());
        return false;
    }
    return true;
}

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

bool videoOpen()
{
    return data.videoOpen;
}

WindowStep open(const char* title, const SDL_Rect& place, Uint32 flags, const platform::PixelFormat& format,
                WindowStep refused)
{
    // The attributes go to SDL with the window, so the pixel format is fixed by then; its own
    // steps only stand for the back end's refusal.
    if (!data.videoOpen || data.window || refused == WindowStep::Window || !makeWindow(title, place, flags, format))
        return WindowStep::Window;
    if (refused == WindowStep::DrawingSurface)
        return WindowStep::DrawingSurface;
    data.surfaceHeld = true;
    if (refused == WindowStep::ChoosePixelFormat)
        return WindowStep::ChoosePixelFormat;
    if (refused == WindowStep::SetPixelFormat)
        return WindowStep::SetPixelFormat;
    if (data.context || refused == WindowStep::Context || !makeContext())
        return WindowStep::Context;
    if (refused == WindowStep::CurrentContext || SDL_GL_MakeCurrent(data.window, data.context) != 0)
        return WindowStep::CurrentContext;
    return WindowStep::None;
}

platform::WindowSteps held()
{
    using platform::stepBit;
    platform::WindowSteps steps = stepBit(WindowStep::WindowSystem);
    if (data.context)
        steps |= stepBit(WindowStep::CurrentContext) | stepBit(WindowStep::Context);
    if (data.surfaceHeld)
        steps |= stepBit(WindowStep::DrawingSurface);
    if (data.window)
        steps |= stepBit(WindowStep::Window);
    return steps;
}

platform::WindowSteps close()
{
    platform::WindowSteps failed = 0;
    if (data.context) {
        if (SDL_GL_MakeCurrent(data.window, nullptr) != 0)
            failed |= platform::stepBit(WindowStep::CurrentContext);
        SDL_GL_DeleteContext(data.context);
        data.context = nullptr;
    }
    data.surfaceHeld = false;
    if (data.window) {
        SDL_DestroyWindow(data.window);
        data.window = nullptr;
    }
    if (data.videoOpen) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        data.videoOpen = false;
    }
    return failed;
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
