// The SDL GL window both back ends make: the video subsystem, one window with a legacy GL context,
// and their teardown. The back ends decide the driver, the window's flags and what the picture does.
#pragma once
#include "platform/platform.h"

#include <SDL.h>

namespace sdl_window {

// Opens SDL's video subsystem; `who` prefixes the lines written to standard error.
bool openVideo(const char* who);
void closeVideo();
bool videoOpen();

// Sets the GL attributes for `format` and makes the hidden window; false when it cannot.
bool createWindow(const char* title, int x, int y, int width, int height, Uint32 flags,
                  const platform::PixelFormat& format);
bool setPixelFormat(int format);  // 1 is the one format a window offers
bool createContext();
bool makeContextCurrent();
bool releaseContextCurrent();
bool deleteContext();
void releaseDrawingSurface();
bool destroyWindow();

SDL_Window* window();
SDL_GLContext context();

}  // namespace sdl_window
