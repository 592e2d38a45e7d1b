// The demo window: created and torn down step by step, each failure reported in a message box.
#include "shell/glwindow.h"

#include "platform/platform.h"
#include "shell/driver.h"

#include <GL/gl.h>
#include <cstring>

namespace {

// What the scenes rely on: RGBA with no destination alpha, a 16-bit depth buffer, no stencil.
platform::PixelFormat pixelFormat;
bool pixelFormatFilled = false;

// Handles held, so that destroy() releases only what exists.
bool windowHeld = false;
bool surfaceHeld = false;
bool contextHeld = false;

void createError(const char* text)
{
    platform::messageBox(text, "ERROR", platform::mbOk | platform::mbIconExclamation);
}

void shutdownError(const char* text)
{
    platform::messageBox(text, "SHUTDOWN ERROR", platform::mbOk | platform::mbIconInformation);
}

}  // namespace

GLWindow::GLWindow(int width, int height)
{
    if (width > 0 && height > 0) {
        widthPixels = width;
        heightPixels = height;
    } else {
        widthPixels = 640;
        heightPixels = 480;
    }
}

void GLWindow::setTitle(const char* title)
{
    std::strncpy(titleBuffer, title, sizeof titleBuffer - 1);
    titleBuffer[sizeof titleBuffer - 1] = '\0';
}

bool GLWindow::create(const char* title, int width, int height, int bits, bool fullscreen)
{
    this->fullscreen = fullscreen;

    if (!platform::openWindowSystem()) {
        createError("Failed To Register The Window Class.");
        return false;
    }

    if (this->fullscreen && !platform::changeDisplayMode(width, height, bits)) {
        int answer = platform::messageBox(
            "The Requested Fullscreen Mode Is Not Supported By\nyour Video Card. Use Windowed Mode Instead?",
            "Qovo GL", platform::mbYesNo | platform::mbIconExclamation);
        if (answer == platform::idYes) {
            this->fullscreen = false;
        } else {
            platform::messageBox("Program Will Now Close.", "ERROR", platform::mbOk | platform::mbIconStop);
            return false;
        }
    }

    if (this->fullscreen)
        platform::showCursor(false);

    if (!pixelFormatFilled) {
        pixelFormat = {bits, 0, 16, 0, true};
        pixelFormatFilled = true;
    }

    if (!platform::createWindow(title, width, height, this->fullscreen, pixelFormat)) {
        destroy();
        createError("Window Creation Error.");
        return false;
    }
    windowHeld = true;

    if (!platform::acquireDrawingSurface()) {
        destroy();
        createError("Can't Create A GL Device Context.");
        return false;
    }
    surfaceHeld = true;

    int format = platform::choosePixelFormat(pixelFormat);
    if (format == 0) {
        destroy();
        createError("Can't Find A Suitable PixelFormat.");
        return false;
    }
    if (!platform::setPixelFormat(format)) {
        destroy();
        createError("Can't Set The PixelFormat.");
        return false;
    }

    if (!platform::createContext()) {
        destroy();
        createError("Can't Create A GL Rendering Context.");
        return false;
    }
    contextHeld = true;
    if (!platform::makeContextCurrent()) {
        destroy();
        createError("Can't Activate The GL Rendering Context.");
        return false;
    }

    platform::showWindow();
    resize(width, height);
    return true;
}

void GLWindow::destroy()
{
    if (fullscreen) {
        platform::restoreDisplayMode();
        platform::showCursor(true);
    }
    if (contextHeld) {
        if (!platform::releaseContextCurrent())
            shutdownError("Release Of DC And RC Failed.");
        if (!platform::deleteContext())
            shutdownError("Release Rendering Context Failed.");
        contextHeld = false;
    }
    if (surfaceHeld) {
        if (!platform::releaseDrawingSurface())
            shutdownError("Release Device Context Failed.");
        surfaceHeld = false;
    }
    if (windowHeld) {
        if (!platform::destroyWindow())
            shutdownError("Could Not Release hWnd.");
        windowHeld = false;
    }
    if (!platform::closeWindowSystem())
        shutdownError("Could Not Unregister Class.");
}

void GLWindow::resize(int, int)
{
    // The stored size never changes: every viewport keeps 640 x 480.
}

void GLWindow::beginOrtho(float w, float h)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glViewport(0, 0, widthPixels, heightPixels);
    glOrtho(-w / 2, w / 2, -h / 2, h / 2, 0.1f, 200);
    glMatrixMode(GL_MODELVIEW);
}

void GLWindow::endOrtho()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void GLWindow::windowProc(const platform::Event& event)
{
    switch (event.type) {
    case platform::EventType::Minimized:
        active = false;
        break;
    case platform::EventType::Restored:
        active = true;
        break;
    case platform::EventType::Close:
        quitPosted = true;  // taken by the main loop as its quit message
        break;
    case platform::EventType::KeyDown:
        if (event.key >= 0 && event.key < 256)
            keys[event.key] = 1;
        break;
    case platform::EventType::KeyUp:
        if (event.key >= 0 && event.key < 256)
            keys[event.key] = 0;
        break;
    case platform::EventType::Resized:
        resize(event.width, event.height);
        break;
    }
}
