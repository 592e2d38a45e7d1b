// The credits scene: a still and a turning copy of a drifting tile field, a tunnel of translucent
// walls, the credits and greetings pictures that jolt on chosen rows, the flashes, and at the end
// a mask cut from a picture's alpha.
#include "scenes/credits_scene.h"

#include "render/camera.h"
#include "render/fader.h"
#include "render/quads.h"
#include "render/random.h"
#include "render/texture.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <cmath>

static Camera creditsCamera;

static Texture tilePicture;
static Texture tunnelPicture;
static Texture creditosDeVerdad;
static Texture creditosAux;
static Texture creditosStaff;
static Texture creditosRuvo;
static Texture creditosPemi;
static Texture creditosTheyHave;
static Texture greets[4];
static Texture allez;
static Texture epileptics;
static Texture finPicture;

static Vector4 tileField[512];
static Vector4 ringX[8];
static float fieldHalfSize;
static float fieldHalfDepth;
static float tileSize;
static float ringRange;
static float ringLimit;
static float lastStepTime = 0;
static float finProgress = 0;

// The single-precision factor nearest to 1/32767, as randomFloat uses it.
static const float randomScale = 3.0518509447574615e-05f;

Vector4* creditsTileField()
{
    return tileField;
}

Vector4* creditsRingX()
{
    return ringX;
}

float creditsRingLimit()
{
    return ringLimit;
}

float creditsLastStepTime()
{
    return lastStepTime;
}

float creditsFinProgress()
{
    return finProgress;
}

void CreditsScene::load()
{
    loadTGA(tilePicture, "data/zub03.tga");
    loadTGA(tunnelPicture, "data/text_laser.tga");
    loadTGA(creditosDeVerdad, "data/creditosdeverdad.tga");
    loadTGA(creditosAux, "data/creditos_aux.tga");
    loadTGA(creditosStaff, "data/creditos_staff.tga");
    loadTGA(creditosRuvo, "data/creditos_ruvo.tga");
    loadTGA(creditosPemi, "data/creditos_pemi.tga");
    loadTGA(creditosTheyHave, "data/creditos_theyhave.tga");
    loadTGA(greets[0], "data/greets_1.tga");
    loadTGA(greets[1], "data/greets_2.tga");
    loadTGA(greets[2], "data/greets_3.tga");
    loadTGA(greets[3], "data/greets_4.tga");
    loadTGA(allez, "data/allez.tga");
    loadTGA(epileptics, "data/epileptics.tga");
    loadTGA(finPicture, "data/fin.tga");

    creditsCamera.setCenter(1, 0, 0.8f);
    creditsCamera.setClipPlanes(1, 1000);

    fieldHalfSize = 5;
    fieldHalfDepth = 5;
    tileSize = 0.9375f;
    ringRange = 50;

    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            for (int k = 0; k < 8; ++k)
                tileField[64 * i + 8 * j + k] = {1.25f * i - 5, 1.25f * j - 5, 1.25f * k - 5, 0};
    for (int n = 0; n < 8; ++n)
        ringX[n] = {12.5f * n - 50, 0, 0, 0};
}

void CreditsScene::enter()
{
    enterWithoutDepthTest();
    glPointSize(4);
    glEnable(GL_LINE_SMOOTH);
}

void CreditsScene::unload() {}

static float driftStep(int order)
{
    if (order < 28)
        return 0.025f;
    if (order <= 31)
        return 0.4f;
    return -0.8f;
}

static void placeCamera(float t)
{
    creditsCamera.setEye(-3, 0, 0);
    creditsCamera.setFov(80 + 70 * std::sin(0.1f * t));
}

// The x wrap is not symmetric when drifting backwards: a tile jumps from -4.0625 to the far end.
static void moveTiles(float drift)
{
    for (Vector4& p : tileField) {
        p.z = p.z + 0.01f;
        if (p.z > fieldHalfDepth + tileSize)
            p.z = -(fieldHalfDepth + tileSize);
        p.x = p.x + static_cast<float>(nextRandom()) * drift * randomScale;
        if (drift > 0 && p.x > fieldHalfSize + tileSize)
            p.x = -(fieldHalfSize + tileSize);
        if (drift <= 0 && p.x < tileSize - fieldHalfSize)
            p.x = fieldHalfSize + tileSize;
    }
}

// The rings wrap one by one, so a wrapped ring stretches its two segments across the range.
static void moveRings(float drift)
{
    if (ringLimit == 0)
        ringLimit = 2 * ringRange;
    for (Vector4& ring : ringX) {
        ring.x = ring.x + drift;
        if (drift > 0 && ring.x > ringLimit)
            ring.x = -ringLimit;
        if (drift <= 0 && ring.x < -ringLimit)
            ring.x = ringLimit;
    }
}

// At most one step a frame: below 40 frames a second the drift slows down with the frame rate.
static void motionStep(float t, float drift)
{
    if (!(t - lastStepTime > 0.025f))
        return;
    lastStepTime = t;
    moveTiles(drift);
    moveRings(drift);
}

static void bind(const Texture& picture)
{
    glBindTexture(GL_TEXTURE_2D, picture.id);
}

static void drawTiles()
{
    glBegin(GL_TRIANGLES);
    for (const Vector4& p : tileField) {
        glTexCoord2f(0, 0);
        glVertex3f(p.x, p.y, p.z);
        glTexCoord2f(0, 1);
        glVertex3f(p.x + tileSize, p.y, p.z);
        glTexCoord2f(1, 1);
        glVertex3f(p.x, p.y, p.z + tileSize);
    }
    glEnd();
}

// Under whatever depth test the last frame left, against the depth its turning pass wrote.
static void drawStillField()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    creditsCamera.apply();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bind(tilePicture);
    glColor4f(1, 1, 1, 0.5f);
    drawTiles();
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
}

// The turns multiply the projection after the look-at: the world turns about its own axes.
static void turnProjection(float t, int order)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    creditsCamera.apply();
    glMatrixMode(GL_PROJECTION);
    glRotatef(10 * t, 0, 1, 0);
    if (order >= 32)
        glRotatef(5 * t, 1, 0, 0);
}

// Leaves its modelview push and blending on for the pictures.
static void drawTurningField()
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bind(tilePicture);
    glColor4f(1, 1, 1, 1);
    drawTiles();
    glDisable(GL_TEXTURE_2D);
    glLineWidth(1);
}

static void drawTunnel()
{
    const float s = fieldHalfSize;
    for (int n = 1; n < 8; ++n) {
        const float a = ringX[n - 1].x;
        const float b = ringX[n].x;
        glEnable(GL_TEXTURE_2D);
        bind(tunnelPicture);
        glColor4f(0.7f, 0.1f, 0.71f, 0.85f);
        glBegin(GL_QUADS);
        texturedCorners({a, -s, -s, 0}, {a, -s, s, 0}, {b, -s, s, 0}, {b, -s, -s, 0});
        texturedCorners({a, s, -s, 0}, {a, s, s, 0}, {b, s, s, 0}, {b, s, -s, 0});
        texturedCorners({a, -s, s, 0}, {a, s, s, 0}, {b, s, s, 0}, {b, -s, s, 0});
        texturedCorners({a, -s, -s, 0}, {a, s, -s, 0}, {b, s, -s, 0}, {b, -s, -s, 0});
        glEnd();
    }
}

static void drawTunnelEnd()
{
    const float s = fieldHalfSize;
    const float e = ringX[7].x;
    glDisable(GL_TEXTURE_2D);
    glColor3f(0, 0, 0);
    glBegin(GL_LINE_STRIP);
    glVertex3f(e, -s, -s);
    glVertex3f(e, s, -s);
    glVertex3f(e, s, s);
    glVertex3f(e, -s, s);
    glVertex3f(e, -s, -s);
    glEnd();
}

// The modelview push of the turning field stays until the pictures are done.
static void endTurning()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
}

// One picture at z = 1 on [x0, x1] x [y0, y1], in the colour in force.
static void drawPicture(const Texture& picture, float x0, float x1, float y0, float y1)
{
    bind(picture);
    texturedQuad(x0, y0, x1, y1, 1);
}

static bool isJoltRow(int row)
{
    return row == 0 || row == 56 || row == 64 || row == 126;
}

// The 4 x 3 box lies on the loading bar's frustum, which makes the pictures at z = 1 visible.
static void beginPictures()
{
    glWindow->beginOrtho(4, 3);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
}

static void drawFadingCredits(int row)
{
    glLoadIdentity();
    glTranslatef(0, -0.5f, 0);
    glColor4f(1, 1, 1, 1 - row / 128.0f);
    drawPicture(creditosDeVerdad, -2.2f, 2.2f, -1.2f, 1.2f);
}

static const Texture* mainPicture(int order, int row)
{
    switch (order) {
    case 23:
        return row < 64 ? &creditosStaff : &creditosRuvo;
    case 24:
        return row < 64 ? &creditosPemi : &creditosTheyHave;
    case 27:
        return &greets[row < 96 ? row / 32 : 3];
    case 30:
        return &epileptics;
    case 31:
    case 32:
        return &allez;
    default:
        return nullptr;
    }
}

// The backing picture moves with the jolt, the main picture against it.
static void drawCreditPictures(int order, int row)
{
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    const float jx = 0.05f * randomFloat();
    float jy = 0.05f * randomFloat();
    if (isJoltRow(row))
        jy = jy + 0.3f;

    if (order == 23 || order == 24 || order == 27)
        drawPicture(creditosAux, jx - 2.2f, jx + 2.2f, jy - 1.1f, jy + 1.1f);

    const float g = order == 23 || order == 24 ? 0.44f : 1.1f;
    float alpha = 1;
    if (order == 31)
        alpha = row / 128.0f - randomFloat();  // below 0 on some frames: GL clamps it, the picture flickers
    else if (order == 32)
        alpha = 1 - row / 128.0f;
    glColor4f(1, 1, 1, alpha);
    if (const Texture* picture = mainPicture(order, row))
        drawPicture(*picture, -2 * g - jx, 2 * g - jx, -g - jy, g - jy);
}

// With no destination alpha GL_DST_ALPHA reads 1, so the frame is multiplied by the picture's
// alpha. The blend function stays as set: the next frame sets its own.
static void drawFinMask(int row)
{
    if (2 * row / 128.0f < 2.2f)
        finProgress = 2 * row / 128.0f;
    const float k = 3 - finProgress;
    glColor4f(0, 0, 0, 1);
    glBlendFunc(GL_DST_ALPHA, GL_SRC_ALPHA);
    drawPicture(finPicture, -2 * k, 2 * k, -2 * k, 2 * k);
}

// Also pops the modelview push the turning field made.
static void endPictures()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glWindow->endOrtho();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// The first flashes keep the colour the Fader already holds, as the plasma scene left it.
static void drawFlashes(int order, int row, float t)
{
    if (order >= 23 && order <= 25 && isJoltRow(row))
        fader->render(t);
    if (order >= 32 && row % 2 == 0) {
        fader->setColor(1, 1, 1, 0.3f);
        fader->render(t);
    }
}

void CreditsScene::render(float t)
{
    time = t;
    const float drift = driftStep(order);
    placeCamera(t);
    motionStep(t, drift);

    glClearColor(0.51f, 0.01f, 0.51f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    drawStillField();

    turnProjection(t, order);
    drawTurningField();
    drawTunnel();
    drawTunnelEnd();
    endTurning();

    beginPictures();
    if (order == 25)
        drawFadingCredits(row);
    drawCreditPictures(order, row);
    if (order >= 38)
        drawFinMask(row);
    endPictures();

    drawFlashes(order, row, t);
    glEnable(GL_DEPTH_TEST);
}
