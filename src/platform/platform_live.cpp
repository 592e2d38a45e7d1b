// Live back end: an SDL2 window with a legacy GL context, SDL message boxes and events, the real
// millisecond clock. Full screen is a borderless window over the whole current display at its own
// resolution (no mode change); wherever the window is not the demo's 640 x 480, the picture is
// drawn off screen at that size and scaled into the window at each swap (picture_scaler.h).
#include "platform/platform.h"

#include "platform/frame_pacer.h"
#include "platform/key_table.h"
#include "platform/picture_scaler.h"
#include "platform/sdl_window.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

struct LiveData {
    bool fullscreenWindow = false;  // the display gave a full-screen window; its bounds
    SDL_Rect bounds = {};
    int pictureWidth = 0;            // the size the demo draws at
    int pictureHeight = 0;
    bool nearest = false;            // scaling filter
    bool cursorHidden = false;
    bool toldUnscaled = false;
};

LiveData data;

bool environmentSays(const char* name, const char* value)
{
    const char* text = std::getenv(name);
    return text != nullptr && std::strcmp(text, value) == 0;
}

// The display the user is looking at: the one under the pointer, else the first.
int currentDisplay()
{
    int x = 0;
    int y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    SDL_Point point = {x, y};
    int display = SDL_GetPointDisplayIndex(&point);
    return display >= 0 ? display : 0;
}

// Whether SDL_VIDEODRIVER (one name or a comma-separated list) names this driver.
bool driverNamed(const char* driver)
{
    const char* list = std::getenv("SDL_VIDEODRIVER");
    if (list == nullptr)
        return false;
    size_t length = std::strlen(driver);
    for (const char* item = list; *item != '\0';) {
        const char* end = std::strchr(item, ',');
        size_t itemLength = end ? static_cast<size_t>(end - item) : std::strlen(item);
        if (itemLength == length && SDL_strncasecmp(item, driver, length) == 0)
            return true;
        if (!end)
            break;
        item = end + 1;
    }
    return false;
}

// No display mode is changed: a 640 x 480 mode is missing or badly emulated on today's panels, so
// full screen is a window over the whole display at its own resolution, the picture scaled into
// it. It is given when the display the window would cover can be found.
// PLOMVARDIX_FULLSCREEN=unavailable refuses it, as a display that cannot give one does.
bool findFullscreenBounds()
{
    if (environmentSays("PLOMVARDIX_FULLSCREEN", "unavailable"))
        return false;
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(currentDisplay(), &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0)
        return false;
    data.bounds = bounds;
    return true;
}

// The attributes went to SDL with the window; this only refuses what it cannot stand for.
bool offers(const platform::PixelFormat& format)
{
    return (format.colorBits == 32 || format.colorBits == 24) && format.alphaBits >= 0 && format.depthBits >= 0 &&
           format.stencilBits >= 0;
}

void swapWindow()
{
    // The frame is drawn before the wait, not at the swap, so the time to draw it does not land
    // after the slot and make the pace uneven.
    if (frame_pacer::rate() > 0)
        glFinish();
    frame_pacer::waitForSlot();
    SDL_GL_SwapWindow(sdl_window::window());
}

// Where the window's drawable is not the picture's size, drawing moves to the off-screen target;
// once there it stays, so the picture goes on unchanged when the window comes back to 640 x 480.
void followWindowSize(bool carryOver)
{
    if (picture_scaler::active())
        return;
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(sdl_window::window(), &width, &height);
    if (width == data.pictureWidth && height == data.pictureHeight)
        return;
    if (!picture_scaler::begin(data.pictureWidth, data.pictureHeight, carryOver) && !data.toldUnscaled) {
        std::fprintf(stderr, "plomvardix: no framebuffer objects: the picture is not scaled to the window\n");
        data.toldUnscaled = true;
    }
}

// Xlib ends the process when its display goes, with a report over two lines; SDL loads Xlib
// itself, so the handler is set through the library already loaded. The exit still runs the exit
// handlers, which stop the sound's thread before the mixer goes.
[[noreturn]] int displayLost(void*)
{
    std::fprintf(stderr, "plomvardix: the connection to the display was lost\n");
    std::fflush(stderr);
    std::exit(1);
}

void sayOnceWhenTheDisplayGoes()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || SDL_strcasecmp(driver, "x11") != 0)
        return;
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (xlib == nullptr)
        return;
    using Handler = int (*)(void*);
    auto setHandler = reinterpret_cast<Handler (*)(Handler)>(dlsym(xlib, "XSetIOErrorHandler"));
    if (setHandler != nullptr)
        setHandler(displayLost);
    dlclose(xlib);
}

}  // namespace

namespace platform {

int messageBox(const char* text, const char* caption, unsigned style)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);

    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    switch (style & 0xf0) {
    case mbIconStop: flags = SDL_MESSAGEBOX_ERROR; break;
    case mbIconExclamation: flags = SDL_MESSAGEBOX_WARNING; break;
    default: break;
    }
    const bool yesNo = (style & 0x0f) == mbYesNo;
    // Enter answers Yes (or OK), Escape answers No (or OK).
    const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, idYes, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, idNo, "No"},
    };
    const SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, idOk, "OK"},
    };
    SDL_MessageBoxData box = {};
    box.flags = flags;
    box.window = nullptr;
    box.title = caption;
    box.message = text;
    box.numbuttons = yesNo ? 2 : 1;
    box.buttons = yesNo ? yesNoButtons : okButton;
    int answer = -1;
    if (SDL_ShowMessageBox(&box, &answer) != 0) {
        std::fprintf(stderr, "plomvardix: no message box could be shown: %s\n", SDL_GetError());
        return idNone;
    }
    // Closing the box is taken as its Escape answer.
    if (answer < 0)
        return yesNo ? idNo : idOk;
    return answer;
}

WindowStep openDisplay(bool fullscreen, int, int, int)
{
    if (!sdl_window::videoOpen()) {
        if (!sdl_window::openVideo("plomvardix"))
            return WindowStep::WindowSystem;
        // With no display SDL falls back to a driver that shows nothing; the demo would then play
        // its music to an invisible window. Such a driver serves only when asked for by name.
        const char* driver = SDL_GetCurrentVideoDriver();
        if (driver != nullptr && (SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0) &&
            !driverNamed(driver)) {
            std::fprintf(stderr, "plomvardix: SDL video: no display (SDL offered its %s driver, which shows nothing)\n",
                         driver);
            sdl_window::close();
            return WindowStep::WindowSystem;
        }
        sayOnceWhenTheDisplayGoes();
    }
    if (!fullscreen)
        return WindowStep::None;
    if (!findFullscreenBounds())
        return WindowStep::DisplayMode;
    data.fullscreenWindow = true;
    data.cursorHidden = true;
    SDL_ShowCursor(SDL_DISABLE);
    return WindowStep::None;
}

WindowStep openWindow(const char* title, int width, int height, const PixelFormat& format)
{
    data.pictureWidth = width;
    data.pictureHeight = height;
    data.nearest = environmentSays("PLOMVARDIX_SCALE", "nearest");

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    SDL_Rect place = {0, 0, width, height};
    if (data.fullscreenWindow) {
        // Made at the display's size as well, so that it covers the display even where no window
        // manager acts on the full-screen request.
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
        place = data.bounds;
    } else {
        // The client area is exactly width x height, at the screen's top-left corner; it can be
        // resized and maximised, and the picture follows.
        flags |= SDL_WINDOW_RESIZABLE;
    }
    WindowStep failed = sdl_window::open(title, place, flags, format,
                                         offers(format) ? WindowStep::None : WindowStep::ChoosePixelFormat);
    if (failed != WindowStep::None)
        return failed;

    frame_pacer::chooseSwapInterval(sdl_window::window());
    followWindowSize(false);
    SDL_ShowWindow(sdl_window::window());
    SDL_RaiseWindow(sdl_window::window());
    // A cursor hidden before the window existed is hidden over it too.
    if (data.cursorHidden)
        SDL_ShowCursor(SDL_DISABLE);
    return WindowStep::None;
}

WindowSteps closeWindow()
{
    // The display's own mode was never changed, and SDL takes the full-screen window off the
    // display when it destroys it; only the cursor comes back.
    data.fullscreenWindow = false;
    if (data.cursorHidden) {
        data.cursorHidden = false;
        SDL_ShowCursor(SDL_ENABLE);
    }
    if (sdl_window::context() && SDL_GL_GetCurrentContext() == sdl_window::context())
        picture_scaler::end();
    return sdl_window::close();
}

bool pollEvent(Event& event)
{
    if (!sdl_window::videoOpen())
        return false;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        event = {EventType::Close, 0, 0, 0};
        switch (e.type) {
        case SDL_QUIT:
            return true;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                return true;
            case SDL_WINDOWEVENT_MINIMIZED:
                event.type = EventType::Minimized;
                return true;
            // On X11 a window brought back from minimised, to its size or maximised, sends
            // RESTORED and SHOWN (unmapped and mapped by the window manager, or its hidden state
            // dropped), and MAXIMIZED when maximised; any of them means it is no longer minimised.
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_MAXIMIZED:
                event.type = EventType::Restored;
                return true;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                event.type = EventType::Resized;
                event.width = e.window.data1;
                event.height = e.window.data2;
                return true;
            default:
                break;
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            // Auto-repeat comes as further key-downs, as the original window system sends them.
            int key = key_table::fromSdl(e.key.keysym.sym);
            if (key < 0)
                break;
            event.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
            event.key = key;
            return true;
        }
        default:
            break;
        }
    }
    return false;
}

uint32_t tickCount()
{
    return SDL_GetTicks();
}

void sleep(uint32_t milliseconds)
{
    SDL_Delay(milliseconds);
}

void swapBuffers()
{
    if (!sdl_window::window() || !sdl_window::context())
        return;
    followWindowSize(true);
    if (!picture_scaler::active()) {
        swapWindow();
        return;
    }
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(sdl_window::window(), &width, &height);
    picture_scaler::present(width, height, data.nearest, swapWindow);
}


void exitProcess(int code)
{
    std::fflush(stdout);
    SDL_Quit();
    std::exit(code);
}

}  // namespace platform
