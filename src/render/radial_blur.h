// Capture-and-zoom blur: a scene draws into a 256 x 256 corner, the tool copies it into a texture,
// clears the window and lays the texture over it as a stack of shrinking translucent quads.
// All settings live in the module and are shared by every scene that uses the tool.
#pragma once
#include "shell/scene.h"

#include <GL/gl.h>

class RadialBlur : public Scene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;

    void setScreenSize(int width, int height);
    void setPasses(int n);
    void setSpread(float step);
    void setClearColor(float r, float g, float b, float a);
    void setBlendFunc(GLenum source, GLenum destination);
    void beginCapture();
    void endCapture();
};

GLuint makeEmptyTexture();

// A read-only copy of the module's shared settings, for tests and diagnostics.
struct RadialBlurSettings {
    GLuint blurTexture;
    int screenWidth;
    int screenHeight;
    int passes;
    float spread;
    float clearColor[4];
    GLenum blendSource;
    GLenum blendDestination;
};
RadialBlurSettings radialBlurSettings();

extern RadialBlur* radialBlur;
