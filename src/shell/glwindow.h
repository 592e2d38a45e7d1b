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

    // The window procedure: turns one window event into the driver's flags. A key released before
    // any frame read it stays down until keysRead, so a tap between two frames counts once.
    void windowProc(const platform::Event& event);
    // Called once a frame has read the keys.
    void keysRead();

private:
    int heightPixels;
    int widthPixels;
    bool fullscreen = false;
    char titleBuffer[255] = {};
    unsigned char unread[256] = {};       // down since the last frame read the keys
    unsigned char releaseLater[256] = {};  // released before any frame read it
};

extern GLWindow* glWindow;
