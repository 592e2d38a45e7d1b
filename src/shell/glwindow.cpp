// The demo window: created and torn down through the platform, each failed step reported in a
// message box.
#include "shell/glwindow.h"

#include "platform/platform.h"
#include "shell/driver.h"

#include <GL/gl.h>
#include <cstring>

namespace {

using platform::WindowStep;

// What the scenes rely on: RGBA with no destination alpha, a 16-bit depth buffer, no stencil.
platform::PixelFormat pixelFormat;
bool pixelFormatFilled = false;

struct StepText {
    WindowStep step;
    const char* text;
};

// Failures of making the window and its context, in the order the steps are taken.
constexpr StepText createErrors[] = {
    {WindowStep::Window, "Window Creation Error."},
    {WindowStep::DrawingSurface, "Can't Create A GL Device Context."},
    {WindowStep::ChoosePixelFormat, "Can't Find A Suitable PixelFormat."},
    {WindowStep::SetPixelFormat, "Can't Set The PixelFormat."},
    {WindowStep::Context, "Can't Create A GL Rendering Context."},
    {WindowStep::CurrentContext, "Can't Activate The GL Rendering Context."},
};

// Failed releases, in teardown order.
constexpr StepText shutdownErrors[] = {
    {WindowStep::CurrentContext, "Release Of DC And RC Failed."},
    {WindowStep::Context, "Release Rendering Context Failed."},
    {WindowStep::DrawingSurface, "Release Device Context Failed."},
    {WindowStep::Window, "Could Not Release hWnd."},
    {WindowStep::WindowSystem, "Could Not Unregister Class."},
};

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

    WindowStep failed = platform::openDisplay(fullscreen, width, height, bits);
    if (failed == WindowStep::WindowSystem) {
        createError("Failed To Register The Window Class.");
        return false;
    }
    if (failed == WindowStep::DisplayMode) {
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

    if (!pixelFormatFilled) {
        pixelFormat = {bits, 0, 16, 0, true};
        pixelFormatFilled = true;
    }

    failed = platform::openWindow(title, width, height, pixelFormat);
    if (failed != WindowStep::None) {
        destroy();
        for (const StepText& error : createErrors) {
            if (error.step == failed)
                createError(error.text);
        }
        return false;
    }

    resize(width, height);
    return true;
}

void GLWindow::destroy()
{
    platform::WindowSteps failed = platform::closeWindow();
    for (const StepText& error : shutdownErrors) {
        if (failed & platform::stepBit(error.step))
            shutdownError(error.text);
    }
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
        if (event.key >= 0 && event.key < 256) {
            keys[event.key] = 1;
            unread[event.key] = 1;
            releaseLater[event.key] = 0;
        }
        break;
    case platform::EventType::KeyUp:
        if (event.key >= 0 && event.key < 256) {
            if (unread[event.key])
                releaseLater[event.key] = 1;
            else
                keys[event.key] = 0;
        }
        break;
    case platform::EventType::Resized:
        resize(event.width, event.height);
        break;
    }
}

void GLWindow::keysRead()
{
    for (int key = 0; key < 256; ++key) {
        if (releaseLater[key])
            keys[key] = 0;
        releaseLater[key] = 0;
        unread[key] = 0;
    }
}
