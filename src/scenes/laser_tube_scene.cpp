// The laser tube scene: purple cylinders, a disk and ten rings with white silhouettes under a
// drifting, rolling camera; a textured laser cross along their axis; a wash and a sliding sign
// over the whole screen; the Fader's fade-in, beat flashes and closing ramp.
#include "scenes/laser_tube_scene.h"

#include "render/camera.h"
#include "render/fader.h"
#include "render/quads.h"
#include "render/texture.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>

static Camera camera;
static GLUquadric* fillQuadric = nullptr;
static GLUquadric* outlineQuadric = nullptr;
static Texture cartelin;
static Texture textLaser;
// Never reset on enter: the scene plays once, orders 15 to 20.
static float stepTime = 0;
static float signX = 2.5f;
static float spin = 0;
static float fade = 0;
static float beamLength = 0;
static float zPulse = 0;

static const float beatPulse = 2.0f;
static const float screenHalfHeight = 1.0f;

LaserTubeState laserTubeState()
{
    return {stepTime, signX, spin, fade, beamLength, zPulse};
}

void LaserTubeScene::load()
{
    fillQuadric = gluNewQuadric();
    gluQuadricDrawStyle(fillQuadric, GLU_FILL);
    outlineQuadric = gluNewQuadric();
    gluQuadricDrawStyle(outlineQuadric, GLU_SILHOUETTE);
    camera.setEye(2, 2, 2);
    camera.setCenter(0, 0, -2);
    camera.setFov(60);
    camera.setClipPlanes(1, 1000);
    loadTGA(cartelin, "data/cartelin.tga");
    loadTGA(textLaser, "data/text_laser.tga");
}

void LaserTubeScene::enter()
{
    glViewport(0, 0, glWindow->width(), glWindow->height());
    glClearColor(0, 0, 0, 0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LINE_SMOOTH);
}

void LaserTubeScene::unload()
{
    // Also called when load never ran (no audio library): there may be no quadrics.
    if (fillQuadric != nullptr)
        gluDeleteQuadric(fillQuadric);
    if (outlineQuadric != nullptr)
        gluDeleteQuadric(outlineQuadric);
    fillQuadric = nullptr;
    outlineQuadric = nullptr;
}

// At most one step per frame, so below 50 frames a second the scene runs slow.
static void timedStep(float t, int order)
{
    if (t - stepTime > 0.02f) {
        stepTime = t;
        signX = signX - 0.016f;
        spin = spin + 0.2f;
        if (order == 15 && fade < 1)
            fade = fade + 0.1f;
        if (order >= 16) {
            // Accumulated 0.05 steps would pass 200 by a little: the length stops at 200 itself.
            const float longer = beamLength + 0.05f;
            beamLength = longer < 200 ? longer : 200;
        }
    }
}

// One surface, blending already on: translucent purple with the fill quadric, then its silhouette
// in grey g.
static void tubeCylinder(float g, float radius, float height, int slices, int stacks)
{
    glColor4f(0.7f, 0, 0.7f, fade);
    gluCylinder(fillQuadric, radius, radius, height, slices, stacks);
    glDisable(GL_BLEND);
    glColor3f(g, g, g);
    gluCylinder(outlineQuadric, radius, radius, height, slices, stacks);
}

static void tubeDisk(float g, float alpha, float inner, float outer, int slices, int loops)
{
    glEnable(GL_BLEND);
    glColor4f(0.7f, 0, 0.7f, alpha);
    gluDisk(fillQuadric, inner, outer, slices, loops);
    glDisable(GL_BLEND);
    glEnable(GL_LINE_SMOOTH);
    glColor3f(g, g, g);
    gluDisk(outlineQuadric, inner, outer, slices, loops);
    glDisable(GL_LINE_SMOOTH);
}

// The cylinders, disk and rings under the camera. Leaves the camera's projection pushed: the laser
// stage draws under it and pops it.
static void drawTube(float t, int order, int row)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    camera.setEye(3 * std::sin(0.1f * t) + 2, std::cos(0.06f * t) + 2, 3 * std::sin(0.3f * t) + 4);
    camera.apply();
    glMatrixMode(GL_PROJECTION);
    glRotatef(11 * t, 1, 1, 1);  // the roll, on the projection after the camera

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLineWidth(1.5f);

    // Past row 64 of order 15 the grey passes 1; GL clamps it to white.
    float g = 1;
    if (order == 15) {
        g = row / 64.0f;
    } else {
        fade = 1;
    }

    glLoadIdentity();
    const float z15 = 1.28f - 0.01f * row;
    if (order == 15) {
        glTranslatef(0, 0, z15);
        glRotatef((row * z15 + 10) * t, 0, 0, 1);
    } else if (order == 16) {
        glRotatef(10 * t, 0, 0, 1);
    } else if (order >= 17 && order <= 20) {
        // Set on every frame of a beat row and decayed in the same frame, so it draws at 1.716.
        if (row % 8 == 0)
            zPulse = beatPulse;
        if (zPulse > 0)
            zPulse = zPulse - 0.071f * zPulse * zPulse;
        glTranslatef(0, 0, zPulse);
        glRotatef(10 * t, 0, 0, 1);
    }

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    tubeCylinder(g, 1, zPulse + 0.5f, 16, 8);

    const float k = 0.3f * (2.0f - zPulse);
    glLoadIdentity();
    glRotatef(15 * t, 0, 0, -100);
    glEnable(GL_BLEND);
    tubeCylinder(g, 1.7f, k + 0.4f, 8, 8);

    const float k2 = std::fabs(2 * k - 2);
    glLoadIdentity();
    glRotatef(25 * t, 0, 0, 100);
    glEnable(GL_BLEND);
    tubeCylinder(g, 2.2f, k2 + 0.4f, 16, 16);

    glLoadIdentity();
    float angle = 30 * t;
    if (order == 15) {
        glTranslatef(0, 0, 2 * z15);
        angle = (row * z15 + 30) * t;
    }
    glRotatef(angle, 0, 0, -1);
    // Enter turned line smoothing on and this disk turns it off: only the first frame's cylinder
    // outlines are smoothed.
    tubeDisk(g, fade, 2.4f, 2.8f, 16, 16);

    for (int i = 0; i < 10; ++i) {
        glLoadIdentity();
        const int m = order < 17 ? i + 1 : 2 * i + 1;
        const int s = i % 2 == 0 ? 1 : -1;
        glRotatef(m * s * spin, 1, 0, 1);
        tubeDisk(g, 0.5f * fade, 4.1f + 0.4f * i, 4.4f + 0.4f * i, 8, 8);
    }

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

static void laserQuad(float vStart, float vEnd)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, vStart);
    glVertex3f(-1, 0, -beamLength);
    glTexCoord2f(1, vStart);
    glVertex3f(1, 0, -beamLength);
    glTexCoord2f(1, vEnd);
    glVertex3f(1, 0, beamLength);
    glTexCoord2f(0, vEnd);
    glVertex3f(-1, 0, beamLength);
    glEnd();
}

// Two crossed quads along z, under the camera's projection and the identity model-view; ends by
// popping the projection the tube stage pushed.
static void drawLaser(float t)
{
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, textLaser.id);
    glColor4f(1, 1, 1, 0.95f);
    // The band scrolls through the picture once every ten seconds.
    const float vStart = (std::fmod(10 * t, 100.0f) - 0.15f) * 0.01f;
    const float vEnd = vStart + 0.15f;
    laserQuad(vStart, vEnd);
    glRotatef(90, 0, 0, 1);
    laserQuad(vStart, vEnd);
    glRotatef(-90, 0, 0, 1);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glDisable(GL_DEPTH_TEST);
}

// Under the frame's own frustum: the wash, then the sign sliding in from the right.
static void drawScreen()
{
    glWindow->beginOrtho(1.25f, 2);
    // Texturing is still on with the laser band bound and no coordinate of its own; the weight
    // min(alpha, 1 - destination alpha) is 0 on a frame buffer without alpha, so nothing shows.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA_SATURATE, GL_ONE);
    glColor4f(1, 1, 1, 0.5f);
    glBegin(GL_QUADS);
    glVertex3f(-2, -screenHalfHeight, 0.5f);
    glVertex3f(2, -screenHalfHeight, 0.5f);
    glVertex3f(2, screenHalfHeight, 0.5f);
    glVertex3f(-2, screenHalfHeight, 0.5f);
    glEnd();

    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 0.7f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, cartelin.id);
    texturedQuad(signX - 2, -screenHalfHeight, signX + 2, screenHalfHeight, 0.5f);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glWindow->endOrtho();
    glEnable(GL_DEPTH_TEST);
}

void LaserTubeScene::render(float t)
{
    time = t;
    timedStep(t, order);
    drawTube(t, order, row);
    drawLaser(t);
    drawScreen();

    // The first matching rule gives the one flash: the fade-in and the closing ramp take the
    // place of the beat flash on their rows.
    float alpha;
    if (whiteFade(order, row, 15, 20, alpha))
        flashWhite(alpha, time);
    else if (row % 8 == 0 && order >= 17 && order <= 20)
        flashWhite(0.15f, time);
}
