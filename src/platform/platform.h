// The platform seam: what the demo asks of the operating system, in the demo's own terms.
// Two back ends implement every function here: platform_live.cpp (SDL2 window and events, real
// clock) and platform_offline.cpp (offscreen Mesa context, virtual clock, scripted input).
// Each executable links exactly one of them.
#pragma once
#include <cstdint>

namespace platform {

// Message boxes. Style bits and answers keep the values of the original window system.
enum : unsigned {
    mbOk = 0x00,
    mbYesNo = 0x04,
    mbIconStop = 0x10,
    mbIconQuestion = 0x20,
    mbIconExclamation = 0x30,
    mbIconInformation = 0x40,
};
enum : int { idNone = 0, idOk = 1, idYes = 6, idNo = 7 };

// Shows a modal box (no owner window) and also writes its text to standard error, so that a user
// without a display learns what it said. Returns idNone when no box could be shown.
int messageBox(const char* text, const char* caption, unsigned style);

// Makes the working directory one whose data/ holds the demo's module: the current one, otherwise
// the executable's folder, otherwise the installed data folder beside it; when none does, says
// where it looked and leaves the working directory as it was.
void enterDataFolder();

// The steps of opening the window with its GL context, in the order they are taken. The window
// reports a failure by its step, so each names both the making and the release of what it holds.
enum class WindowStep {
    None,
    WindowSystem,       // the window-system session ("register the window class")
    DisplayMode,        // the full-screen display mode; its restore cannot fail
    Window,
    DrawingSurface,     // the window's device context
    ChoosePixelFormat,  // nothing is held by choosing
    SetPixelFormat,
    Context,            // the GL context: made, deleted
    CurrentContext,     // made current, released
};
// A set of steps, one bit each.
using WindowSteps = unsigned;
constexpr WindowSteps stepBit(WindowStep step)
{
    return 1u << static_cast<unsigned>(step);
}

// What the GL window asks for: bits of colour, alpha, depth and stencil, and double buffering.
struct PixelFormat {
    int colorBits;
    int alphaBits;
    int depthBits;
    int stencilBits;
    bool doubleBuffer;
};

// Opens the window system and, when asked, gives the display to one full-screen window of
// width x height (the cursor hidden over it). Returns the step that failed; when the display mode
// fails the window system stays open, and openWindow then makes an ordinary window.
WindowStep openDisplay(bool fullscreen, int width, int height, int bits);

// Makes the window, its drawing surface, pixel format and GL context, makes the context current
// and shows the window. Returns the first step that failed; the steps before it stay held.
WindowStep openWindow(const char* title, int width, int height, const PixelFormat& format);

// Releases what is held, in teardown order: the display mode, the current context, the context,
// the drawing surface, the window, the window system. A failed release does not stop the next.
// Returns the set of steps whose release failed.
WindowSteps closeWindow();

// Events the window procedure turns into the driver's flags.
// The two keys the demo reads, by their Windows virtual-key codes.
enum : int { keyEscape = 27, keySpace = 32 };
enum class EventType { Close, KeyDown, KeyUp, Minimized, Restored, Resized };
struct Event {
    EventType type;
    int key;  // Windows virtual-key code for KeyDown and KeyUp (keyEscape, keySpace, 'A'..'Z', '0'..'9', ...)
    int width, height;  // for Resized
};
// Takes the next pending event; false when the queue is empty.
bool pollEvent(Event& event);

uint32_t tickCount();  // milliseconds
void sleep(uint32_t milliseconds);
void swapBuffers();

// Ends the process; the offline back end finishes its outputs first.
[[noreturn]] void exitProcess(int code);

}  // namespace platform
