// The radial blur tool. Its settings are module-level and shared: a scene that sets none inherits
// whatever the previous scene (or load) left.
#include "render/radial_blur.h"

#include <cstdlib>

static GLuint blurTexture = 0;
static int screenWidth = 0;
static int screenHeight = 0;
static int passes = 0;
static float spread = 0.0f;
static float clearColor[4] = {0, 0, 0, 0};
static GLenum blendSource = 0;
static GLenum blendDestination = 0;

static const int captureSize = 256;

GLuint makeEmptyTexture()
{
    unsigned char* buffer = static_cast<unsigned char*>(std::calloc(captureSize * captureSize * 4, 1));
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, captureSize, captureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, buffer);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    std::free(buffer);
    return name;
}

void RadialBlur::render(float)
{
    float a0 = clearColor[3];

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(blendSource, blendDestination);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, blurTexture);

    // Window pixels with the origin at the top-left corner, y downward.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, screenWidth, screenHeight, 0, -1, 1000);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    float step = passes > 0 ? a0 / passes : 0;  // no quad is drawn otherwise
    float s = 0;
    float alpha = a0;
    float w = static_cast<float>(screenWidth);
    float h = static_cast<float>(screenHeight);
    glBegin(GL_QUADS);
    for (int k = 0; k < passes; k++) {
        glColor4f(1, 1, 1, alpha);
        glTexCoord2f(s, 1 - s);
        glVertex2f(0, 0);
        glTexCoord2f(s, s);
        glVertex2f(0, h);
        glTexCoord2f(1 - s, s);
        glVertex2f(w, h);
        glTexCoord2f(1 - s, 1 - s);
        glVertex2f(w, 0);
        s = s + spread;
        alpha = alpha - step;
    }
    glEnd();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();

    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void RadialBlur::load()
{
    blurTexture = makeEmptyTexture();
    setClearColor(0.7f, 0, 0.7f, 0.2f);
    blendSource = GL_SRC_ALPHA;
    blendDestination = GL_SRC_COLOR;
}

void RadialBlur::enter() {}

void RadialBlur::unload()
{
    // Runs after the window is gone; without a context the call does nothing. The name is
    // forgotten so that a second unload cannot delete a texture that has reused it.
    glDeleteTextures(1, &blurTexture);
    blurTexture = 0;
}

void RadialBlur::setScreenSize(int width, int height)
{
    screenWidth = width;
    screenHeight = height;
}

void RadialBlur::setPasses(int n)
{
    passes = n;
}

void RadialBlur::setSpread(float step)
{
    spread = step;
}

void RadialBlur::setClearColor(float r, float g, float b, float a)
{
    clearColor[0] = r;
    clearColor[1] = g;
    clearColor[2] = b;
    clearColor[3] = a;
}

void RadialBlur::setBlendFunc(GLenum source, GLenum destination)
{
    blendSource = source;
    blendDestination = destination;
}

void RadialBlur::beginCapture()
{
    glViewport(0, 0, captureSize, captureSize);
}

void RadialBlur::endCapture()
{
    glBindTexture(GL_TEXTURE_2D, blurTexture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 0, 0, captureSize, captureSize, 0);
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, screenWidth, screenHeight);
}

RadialBlurSettings radialBlurSettings()
{
    return {blurTexture, screenWidth, screenHeight, passes, spread,
            {clearColor[0], clearColor[1], clearColor[2], clearColor[3]}, blendSource, blendDestination};
}
