// The SDL GL window both back ends make: the video subsystem, one window with a legacy GL context,
// and their teardown. The back ends decide the driver, the window's place and flags, the pixel
// formats they offer and what the picture does.
#pragma once
#include "platform/platform.h"

#include <SDL.h>

namespace sdl_window {

// Opens SDL's video subsystem; `who` prefixes the lines written to standard error.
bool openVideo(const char* who);
bool videoOpen();

// The window's steps from making the window to making its context current. `refused` is a step
// the back end makes fail (a pixel format it does not offer); None refuses nothing. Returns the
// first step that failed; the steps before it stay held.
platform::WindowStep open(const char* title, const SDL_Rect& place, Uint32 flags,
                          const platform::PixelFormat& format, platform::WindowStep refused);

// The steps whose release close() would try now (the window system is always tried).
platform::WindowSteps held();

// Releases what is held, in teardown order, and closes the video subsystem; each failed release
// is in the set returned and the next one still runs.
platform::WindowSteps close();

SDL_Window* window();
SDL_GLContext context();

}  // namespace sdl_window
