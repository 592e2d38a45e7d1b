// The demo's one window with its GL context, and the orthographic box pushed onto the projection.
#pragma once

namespace platform {
struct Event;
}

class GLWindow {
public:
    GLWindow(int width, int height);

    void setTitle(const char* title);  // truncated to the buffer
    const char* title() const { return titleBuffer; }
    int width() const { return widthPixels; }
    int height() const { return heightPixels; }
    bool isFullscreen() const { return fullscreen; }
    void setFullscreen(bool value) { fullscreen = value; }

    bool create(const char* title, int width, int height, int bits, bool fullscreen);
    void destroy();
    void resize(int width, int height);

    // Multiplies a w x h box centred on the origin onto the projection in force (no identity load).
    void beginOrtho(float w, float h);
    void endOrtho();

    // The window procedure: turns one window event into the driver's flags.
    void windowProc(const platform::Event& event);

private:
    int heightPixels;
    int widthPixels;
    bool fullscreen = false;
    char titleBuffer[255] = {};
};

extern GLWindow* glWindow;
