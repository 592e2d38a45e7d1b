// The glyph blur scene: eight echoed line strips spin inside the blur capture; rings, ring sectors
// and two pictures lie over the blur, with white fades and beat flashes from the Fader on top.
#include "scenes/glyph_blur_scene.h"

#include "render/camera.h"
#include "render/fader.h"
#include "render/quads.h"
#include "render/radial_blur.h"
#include "render/texture.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>

static Camera camera;
static Texture bigPicture;
static Texture smallPicture;
static GLUquadric* quadric = nullptr;
static float bounce = 0;

// One stroke of the glyph, drawn eight times side by side.
static const float glyphStroke[7][2] = {
    {0, 2}, {0, -2}, {0.2f, -2}, {1.7f, 2}, {1.9f, 2}, {1.1f, 0.1f}, {2, -2},
};

float glyphBlurBounce()
{
    return bounce;
}

void GlyphBlurScene::load()
{
    loadTGA(bigPicture, "data/fostarina2.tga");
    loadTGA(smallPicture, "data/k.tga");
    camera.setEye(10, 5, 10);
    camera.setCenter(0, 0, 0.8f);
    camera.setClipPlanes(1, 100);
    quadric = gluNewQuadric();
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricTexture(quadric, GL_TRUE);
}

void GlyphBlurScene::enter()
{
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    radialBlur->setSpread(0.02f);
    radialBlur->setPasses(10);
    radialBlur->setScreenSize(glWindow->width(), glWindow->height());
    // Clamps whatever texture is bound now (the intro's last caption), which never shows an edge;
    // the blur texture keeps the default repeat.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void GlyphBlurScene::unload()
{
    // Also called when load never ran (no audio library): there may be no quadric.
    if (quadric != nullptr)
        gluDeleteQuadric(quadric);
    quadric = nullptr;
}

static void drawRingSectors(int sectors, float degrees, float axisZ, GLdouble inner, GLdouble outer, GLdouble sweep)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    for (int k = 0; k < sectors; ++k) {
        glRotatef(degrees, 0, 0, axisZ);
        gluPartialDisk(quadric, inner, outer, 32, 32, 0, sweep);
    }
    glPopMatrix();
}

// The glyph, seen only through the blur.
static void captureGlyph(float spin)
{
    radialBlur->beginCapture();
    glClearColor(0.8f, 0, 0.8f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glColor3f(1, 1, 1);
    camera.apply();
    glDisable(GL_DEPTH_TEST);
    glLineWidth(1.5f);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glScalef(3, 3, 3);
    glRotatef(spin, 0, 1, 0);
    glTranslatef(-1, 0, 0);
    for (int i = 1; i <= 8; ++i) {
        glPushMatrix();
        glTranslatef(i * 0.1f, 0, 0);
        glBegin(GL_LINE_STRIP);
        for (const auto& p : glyphStroke)
            glVertex3f(p[0], p[1], 0);
        glEnd();
        glPopMatrix();
    }
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    // The passes were set by the previous frame (or by enter).
    radialBlur->endCapture();
}

// Translucent rings and turning ring sectors, depth-tested against the depth buffer the capture cleared.
static void drawRings(float t, float spin)
{
    glEnable(GL_BLEND);
    glEnable(GL_LINE_SMOOTH);  // left on: later scenes draw their lines smoothed
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 0.3f);

    const float s = 0.25f * std::sin(t);
    gluDisk(quadric, 0.02, 0.025, 32, 32);
    gluDisk(quadric, 0.08, 0.1, 32, 32);
    gluDisk(quadric, s + 0.36f, s + 0.362f, 16, 16);
    gluDisk(quadric, 2 * s + 0.36f, 2 * s + 0.362f, 16, 16);
    gluDisk(quadric, 0.4, 0.41, 32, 32);

    drawRingSectors(3, t * 50, -1, 0.06, 0.08, 20);
    drawRingSectors(5, t * 25, 1, 0.2, 0.3, 20);
    drawRingSectors(3, spin, -1, 0.5, 1.5, 30);
}

// The beat widens the next frame's blur and kicks the two pictures apart.
static void drawPictures(bool beat)
{
    glColor4f(1, 1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    if (beat)
        bounce = 1;
    radialBlur->setPasses(beat ? 12 : 10);
    if (bounce > 0)
        bounce = bounce - 0.9f * bounce * bounce;
    const float h = bounce;

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, -0.7f, 0);
    glBindTexture(GL_TEXTURE_2D, bigPicture.id);
    texturedQuad(0, h, 0.7f, h + 0.7f, -0.012f);
    glPopMatrix();

    // The second picture moves against the first; its right edge is taller than its left.
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(-0.5f, 0.1f, 0);
    glBindTexture(GL_TEXTURE_2D, smallPicture.id);
    texturedQuad(0, -h, 0.35f, -h + 0.5f, -h + 0.35f, -0.012f);
    glPopMatrix();

    glDisable(GL_TEXTURE_2D);
}

void GlyphBlurScene::render(float t)
{
    const float spin = t * 100;
    const bool beat = row % 8 == 0;

    captureGlyph(spin);
    radialBlur->render(t);

    glWindow->beginOrtho(1, 1);
    drawRings(t, spin);
    drawPictures(beat);
    glWindow->endOrtho();
    glDisable(GL_BLEND);

    // White fades at the ends of the scene, faint flashes on the other beats.
    float alpha;
    if (whiteFade(order, row, 5, 6, alpha))
        flashWhite(alpha, t);
    else if (beat)
        flashWhite(0.15f, t);
}
