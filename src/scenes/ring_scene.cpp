// The ring scene: the ring is drawn only into the blur capture; over the blur come the background,
// the logo lifted on the beat, the smoke that follows the logo, and the Fader's flashes.
#include "scenes/ring_scene.h"

#include "platform/platform.h"
#include "render/fader.h"
#include "render/quads.h"
#include "render/radial_blur.h"
#include "render/texture.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <cmath>

static Camera camera;
static Texture background;
static Texture logo;
static Texture smoke;
static float innerRadius = 3;
static float outerRadius = 4;
static float ringPulse = 0;
static float logoPulse = 0;

float ringSlideX(int row)
{
    if (row < 32)
        return 1 - row / 16.0f;
    if (row <= 96)
        return -1;
    return -1 - (row % 32) / 32.0f;
}

const Camera& ringCamera()
{
    return camera;
}

float ringThirdFrequency()
{
    return ringPulse + 1;
}

float ringLogoPulse()
{
    return logoPulse;
}

void RingScene::load()
{
    loadTGA(background, "data/bazura.tga");
    loadTGA(logo, "data/fordtuneao3.tga");
    loadTGA(smoke, "data/minik.tga");
    camera.setEye(5, 5, 0);
    camera.setCenter(0, 0, 0.8f);
    camera.setFov(120);
    camera.setClipPlanes(1, 1000);
    innerRadius = 3;
    outerRadius = 4;
    particleSystem.add(&emitter);
    emitter.setMaxLife(100);
    emitter.setStartSize(3);
    emitter.setOrigin(emitterOrigin);
    emitter.spawn(100);
}

void RingScene::enter()
{
    radialBlur->setSpread(0.015f);
    radialBlur->setPasses(10);
    radialBlur->setScreenSize(glWindow->width(), glWindow->height());
    enterWithoutDepthTest();
}

void RingScene::unload() {}

static void vertex(const Vector4& v)
{
    glVertex3f(v.x, v.y, v.z);
}

static void face(GLenum mode, const Vector4& a, const Vector4& b, const Vector4& c, const Vector4& d, bool closeByHand)
{
    glBegin(mode);
    vertex(a);
    vertex(b);
    vertex(c);
    vertex(d);
    if (closeByHand)
        vertex(a);
    glEnd();
}

// Row 0 (and anything past 127) keeps the eye where the last frame left it.
static void moveEye(int row, float t)
{
    const float d = 1.5f * std::cos(t / 2) + 2;
    const float e = 1.5f * std::sin(t / 2) + 2;
    if (row >= 1 && row <= 31)
        camera.setEye(d, e, 0);
    else if (row >= 32 && row <= 63)
        camera.setEye(0, e, d);
    else if (row >= 64 && row <= 95)
        camera.setEye(d, 0, e);
    else if (row >= 96 && row <= 127)
        camera.setEye(d, e, d);
}

// The first beat row drives ringPulse negative, where it stays: f3 jumps to -12.6 for good.
static float thirdFrequency(bool beat)
{
    if (beat || ringPulse > 0) {
        const float x = beat ? 4.0f : ringPulse;
        ringPulse = x - 1.1f * x * x;
    }
    return ringPulse + 1;
}

// Neighbouring sections lie 22.5 radians apart, which scatters them round the ring.
static void placeSections(Vector4 (&sections)[16][4], float t, float f3)
{
    for (int k = 0; k < 16; ++k) {
        const float theta = 22.5f * k;
        const float h = std::sin(theta + t);
        const float s4 = std::sin(4 * theta + t);
        const float s3 = std::sin(f3 * theta + t);
        const float g = innerRadius * s3;
        sections[k][0] = {g + 1, innerRadius * h, innerRadius * s4, 0};
        sections[k][1] = {g + 1, outerRadius * h, outerRadius * s4, 0};
        sections[k][2] = {g - 1, outerRadius * h, outerRadius * s4, 0};
        sections[k][3] = {g - 1, innerRadius * h, innerRadius * s4, 0};
    }
}

// Each band between two sections: four translucent white faces, then their black outlines.
static void drawBands(const Vector4 (&sections)[16][4], float t)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float alpha = 0.2f * std::sin(t / 2) + 0.6f;
    for (int k = 0; k < 16; ++k) {
        const Vector4* a = sections[k];
        const Vector4* b = sections[(k + 1) % 16];  // the last band closes the ring
        glColor4f(1, 1, 1, alpha);
        face(GL_QUADS, a[0], b[0], b[3], a[3], false);
        face(GL_QUADS, a[1], b[1], b[2], a[2], false);
        face(GL_QUADS, a[0], b[0], b[1], a[1], false);
        face(GL_QUADS, a[3], b[3], b[2], a[2], false);
        glColor4f(0, 0, 0, 1);
        face(GL_LINE_LOOP, a[0], b[0], b[3], a[3], true);
        face(GL_LINE_LOOP, a[1], b[1], b[2], a[2], true);
        face(GL_LINE_LOOP, a[0], b[0], b[1], a[1], true);
        face(GL_LINE_LOOP, a[3], b[3], b[2], a[2], true);
    }
    glDisable(GL_BLEND);
}

// The ring goes only into the blur capture.
static void captureRing(Vector4 (&sections)[16][4], int row, float t, bool beat)
{
    const float w = static_cast<float>(glWindow->width());
    const float hgt = static_cast<float>(glWindow->height());

    radialBlur->beginCapture();
    glClearColor(0.8f, 0.1f, 0.8f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    moveEye(row, t);
    camera.apply();

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRotatef(10 * t, 12, 12, 0);
    glLineWidth(1);
    placeSections(sections, t, thirdFrequency(beat));
    drawBands(sections, t);

    glColor3f(1, 1, 0);
    glBegin(GL_LINE_LOOP);
    glVertex3f(0, 0, 0);
    glVertex3f(w, hgt, -2);
    glVertex3f(w, hgt, 2);
    glEnd();

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    radialBlur->endCapture();
}

static void drawBackground()
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glScalef(0.7f, 0.7f, 1);
    glTranslatef(-0.25f, -0.25f, 2);
    glWindow->beginOrtho(0.25f, 0.325f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 0.5f);
    glBindTexture(GL_TEXTURE_2D, background.id);
    texturedQuad(0, 0, 0.5f, 0.5f, 40);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glWindow->endOrtho();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// The logo slides along x and is lifted on the beat.
static void drawLogo(float x, bool beat)
{
    if (beat)
        logoPulse = 1;
    if (logoPulse > 0)
        logoPulse = logoPulse - 0.9f * logoPulse * logoPulse;
    const float p = logoPulse;

    glWindow->beginOrtho(3, 1);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glScalef(1.2f, 1.2f, 1);
    glTranslatef(x, -0.25f, 0);
    glEnable(GL_BLEND);  // with the blend factors the blur overlay left
    glBindTexture(GL_TEXTURE_2D, logo.id);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    texturedQuad(-1, p, 1, p + 0.5f, 40);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glWindow->endOrtho();
}

// The smoke is born where the logo is and steps once per frame.
static void drawSmoke(RingScene& scene, float x)
{
    glWindow->beginOrtho(640, 480);
    scene.emitterOrigin.x = 320 * x;
    scene.emitter.setOrigin(scene.emitterOrigin);
    scene.particleSystem.update(platform::tickCount());
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, smoke.id);
    scene.particleSystem.draw();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glWindow->endOrtho();
}

// White fades at the ends of the scene, faint flashes on the other beats; the strobe of the last
// rows comes on top of their fade.
static void drawFlashes(int order, int row, bool beat, float time)
{
    float alpha;
    if (whiteFade(order, row, 7, 14, alpha))
        flashWhite(alpha, time);
    else if (beat)
        flashWhite(0.15f, time);
    if (order == 14 && row >= 112 && row % 2 == 0)
        flashWhite(1, time);
}

void RingScene::render(float t)
{
    const bool beat = row % 8 == 0;
    time = t;

    captureRing(sections, row, t, beat);
    drawBackground();
    glClear(GL_DEPTH_BUFFER_BIT);
    radialBlur->render(time);
    const float x = ringSlideX(row);
    drawLogo(x, beat);
    drawSmoke(*this, x);
    drawFlashes(order, row, beat, time);
}
