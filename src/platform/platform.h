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

// The window-system session a window is made in ("register the window class").
bool openWindowSystem();
bool closeWindowSystem();

// Full-screen display mode and its restore; the cursor.
bool changeDisplayMode(int width, int height, int bits);
void restoreDisplayMode();
void showCursor(bool visible);

// What the GL window asks for: bits of colour, alpha, depth and stencil, and double buffering.
struct PixelFormat {
    int colorBits;
    int alphaBits;
    int depthBits;
    int stencilBits;
    bool doubleBuffer;
};

// The window and its GL context, in the order they are made. Each returns false (or 0) on failure.
// The format is passed to createWindow too, because some window systems fix it with the window.
bool createWindow(const char* title, int width, int height, bool fullscreen, const PixelFormat& format);
bool acquireDrawingSurface();
int choosePixelFormat(const PixelFormat& format);  // 0 when nothing suitable
bool setPixelFormat(int format);
bool createContext();
bool makeContextCurrent();
void showWindow();

// Teardown, each step only for what is held; false when a release failed.
bool releaseContextCurrent();
bool deleteContext();
bool releaseDrawingSurface();
bool destroyWindow();

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

// Makes the working directory one that holds data/: the current one if it has it, otherwise the
// executable's folder or the installed data folder beside it.
void enterDataFolder();

// Ends the process; the offline back end finishes its outputs first.
[[noreturn]] void exitProcess(int code);

}  // namespace platform
