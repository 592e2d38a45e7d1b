// Placeholder back end: nothing works yet.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
int messageBox(const char* text, const char* caption, unsigned) { std::fprintf(stderr, "%s: %s\n", caption, text); return idNone; }
bool openWindowSystem() { return false; }
bool closeWindowSystem() { return true; }
bool changeDisplayMode(int, int, int) { return false; }
void restoreDisplayMode() {}
void showCursor(bool) {}
bool createWindow(const char*, int, int, bool, const PixelFormat&) { return false; }
bool acquireDrawingSurface() { return false; }
int choosePixelFormat(const PixelFormat&) { return 0; }
bool setPixelFormat(int) { return false; }
bool createContext() { return false; }
bool makeContextCurrent() { return false; }
void showWindow() {}
bool releaseContextCurrent() { return true; }
bool deleteContext() { return true; }
bool releaseDrawingSurface() { return true; }
bool destroyWindow() { return true; }
bool pollEvent(Event&) { return false; }
uint32_t tickCount() { return 0; }
void sleep(uint32_t) {}
void swapBuffers() {}
void enterDataFolder() {}
void exitProcess(int code) { std::exit(code); }
}  // namespace platform
