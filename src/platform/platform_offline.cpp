// Offline back end: an offscreen Mesa GL context through SDL's offscreen video driver (an EGL
// pbuffer), a virtual clock stepped by swaps and sleeps, scripted events and message-box answers.
#include "platform/offline.h"

#include "platform/event_script.h"
#include "platform/key_table.h"
#include "platform/platform.h"
#include "platform/sdl_window.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int answerCapacity = 64;
constexpr int exitHookCapacity = 8;

// Every member has a constant initialiser, so the whole state is set up before any dynamic
// initialisation: scene objects built at start-up already read the clock (a particle emitter does).
struct OfflineData {
    int fps = 60;
    uint64_t swaps = 0;
    uint64_t sleptMicros = 0;
    void (*clockListener)(uint64_t) = nullptr;

    EventScript script;

    int fullscreenAnswer = platform::idNo;
    int answers[answerCapacity] = {};
    int answerCount = 0;
    int answerNext = 0;
    int boxesShown = 0;
    char lastBoxText[256] = "";
    bool displayModeAvailable = true;
    platform::WindowSteps failingSteps = 0;
    platform::WindowSteps failingReleases = 0;
    void (*boxHook)(const char*, const char*, unsigned) = nullptr;

    void (*swapHook)(uint64_t) = nullptr;
    void (*exitHooks[exitHookCapacity])(int) = {};
    int exitHookCount = 0;
};

static_assert(OfflineData().fps == 60, "OfflineData needs constant initialisers");
OfflineData data;

uint64_t clockNow()
{
    return data.sleptMicros + data.swaps * 1000000u / static_cast<uint64_t>(data.fps);
}

void clockAdvanced()
{
    if (data.clockListener)
        data.clockListener(clockNow());
}

// The steps of openWindow, in their order.
using platform::WindowStep;
constexpr WindowStep windowSteps[] = {
    WindowStep::Window,         WindowStep::DrawingSurface, WindowStep::ChoosePixelFormat,
    WindowStep::SetPixelFormat, WindowStep::Context,        WindowStep::CurrentContext,
};

bool refused(WindowStep step)
{
    return (data.failingSteps & platform::stepBit(step)) != 0;
}

}  // namespace

namespace platform {

int messageBox(const char* text, const char* caption, unsigned style)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    ++data.boxesShown;
    std::snprintf(data.lastBoxText, sizeof data.lastBoxText, "%s", text);
    if (data.boxHook)
        data.boxHook(text, caption, style);
    if ((style & 0x0f) != mbYesNo)
        return idOk;
    if (std::strcmp(text, "fullscreen?") == 0)
        return data.fullscreenAnswer;
    if (data.answerNext < data.answerCount)
        return data.answers[data.answerNext++];
    return idNo;
}

WindowStep openDisplay(bool fullscreen, int width, int height, int)
{
    if (refused(WindowStep::WindowSystem))
        return WindowStep::WindowSystem;
    if (!sdl_window::videoOpen()) {
        // Always the offscreen driver on Mesa's software renderer: other drivers give other pixels.
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        // Nothing here reads SDL's quit events: SIGINT and SIGTERM stay with the program.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (!sdl_window::openVideo("offline"))
            return WindowStep::WindowSystem;
    }
    // The offscreen surface is always 640 x 480: that is the one full-screen mode there is.
    if (fullscreen && (refused(WindowStep::DisplayMode) || !data.displayModeAvailable ||
                       width != offline::frameWidth || height != offline::frameHeight))
        return WindowStep::DisplayMode;
    return WindowStep::None;
}

WindowStep openWindow(const char* title, int width, int height, const PixelFormat& format)
{
    // The only format on offer: RGB 8/8/8, no alpha, depth 16, no stencil, double-buffered.
    const bool offered = (format.colorBits == 32 || format.colorBits == 24) && format.alphaBits == 0 &&
                         format.depthBits <= 16 && format.stencilBits == 0;
    WindowStep refusedStep = WindowStep::None;
    for (WindowStep step : windowSteps) {
        if (refused(step) || (step == WindowStep::ChoosePixelFormat && !offered)) {
            refusedStep = step;
            break;
        }
    }
    return sdl_window::open(title, {0, 0, width, height}, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN, format, refusedStep);
}

WindowSteps closeWindow()
{
    WindowSteps tried = sdl_window::held();
    return sdl_window::close() | (tried & data.failingReleases);
}

bool pollEvent(Event& event)
{
    return data.script.next(data.swaps, event);
}

uint32_t tickCount()
{
    return static_cast<uint32_t>(clockNow() / 1000);
}

void sleep(uint32_t milliseconds)
{
    data.sleptMicros += static_cast<uint64_t>(milliseconds) * 1000;
    clockAdvanced();
}

void swapBuffers()
{
    if (data.swapHook)
        data.swapHook(data.swaps);
    if (sdl_window::window() && sdl_window::context())
        SDL_GL_SwapWindow(sdl_window::window());
    ++data.swaps;
    data.script.swapped();
    clockAdvanced();
}

void exitProcess(int code)
{
    for (int k = 0; k < data.exitHookCount; ++k)
        data.exitHooks[k](code);
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(code);
}

}  // namespace platform

namespace offline {

void setFramesPerSecond(int fps)
{
    if (fps > 0)
        data.fps = fps;
}

int framesPerSecond()
{
    return data.fps;
}

uint64_t frameCount()
{
    return data.swaps;
}

uint64_t clockMicroseconds()
{
    return clockNow();
}

void setClockListener(void (*listener)(uint64_t))
{
    data.clockListener = listener;
}

bool scheduleEvent(uint64_t frame, platform::EventType type, int key)
{
    return data.script.schedule(frame, type, key);
}

bool scheduleKeyPress(uint64_t frame, int key)
{
    return data.script.schedulePress(frame, key);
}

int keyCode(const char* name)
{
    return key_table::fromName(name);
}

void setFullscreenAnswer(int answer)
{
    data.fullscreenAnswer = answer;
}

bool queueMessageBoxAnswer(int answer)
{
    if (data.answerCount >= answerCapacity)
        return false;
    data.answers[data.answerCount++] = answer;
    return true;
}

int messageBoxCount()
{
    return data.boxesShown;
}

const char* lastMessageBoxText()
{
    return data.lastBoxText;
}

void setDisplayModeAvailable(bool available)
{
    data.displayModeAvailable = available;
}

void setFailingWindowSteps(platform::WindowSteps steps, platform::WindowSteps releases)
{
    data.failingSteps = steps;
    data.failingReleases = releases;
}

void setMessageBoxHook(void (*hook)(const char* text, const char* caption, unsigned style))
{
    data.boxHook = hook;
}

void setSwapHook(void (*hook)(uint64_t))
{
    data.swapHook = hook;
}

bool readFrame(unsigned char* rgb, RowOrder rows)
{
    if (!sdl_window::context() || SDL_GL_GetCurrentContext() != sdl_window::context())
        return false;
    // An EGL pbuffer has one colour buffer, which GL calls the front one when it is single.
    GLint pack = 4, readBuffer = GL_BACK;
    GLboolean doubleBuffer = GL_FALSE;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(doubleBuffer ? GL_BACK : GL_FRONT);
    glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glReadBuffer(static_cast<GLenum>(readBuffer));
    glPixelStorei(GL_PACK_ALIGNMENT, pack);
    if (rows == RowOrder::BottomFirst)
        return true;
    // GL rows run bottom-up; pictures run top-down.
    constexpr int stride = frameWidth * 3;
    unsigned char row[stride];
    for (int y = 0; y < frameHeight / 2; ++y) {
        unsigned char* a = rgb + y * stride;
        unsigned char* b = rgb + (frameHeight - 1 - y) * stride;
        std::memcpy(row, a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, row, stride);
    }
    return true;
}

bool addExitHook(void (*hook)(int))
{
    if (data.exitHookCount >= exitHookCapacity)
        return false;
    data.exitHooks[data.exitHookCount++] = hook;
    return true;
}

bool openContext()
{
    const platform::PixelFormat format = {32, 0, 16, 0, true};
    if (platform::openDisplay(false, frameWidth, frameHeight, format.colorBits) != platform::WindowStep::None ||
        platform::openWindow("offline", frameWidth, frameHeight, format) != platform::WindowStep::None) {
        closeContext();
        return false;
    }
    glViewport(0, 0, frameWidth, frameHeight);
    return true;
}

void closeContext()
{
    platform::closeWindow();
}

void reset()
{
    data.swaps = 0;
    data.sleptMicros = 0;
    data.clockListener = nullptr;
    data.script.clear();
    data.fullscreenAnswer = platform::idNo;
    data.answerCount = data.answerNext = 0;
    data.boxesShown = 0;
    data.lastBoxText[0] = '\0';
    data.displayModeAvailable = true;
    data.failingSteps = data.failingReleases = 0;
    data.boxHook = nullptr;
    data.swapHook = nullptr;
    data.exitHookCount = 0;
}

}  // namespace offline
