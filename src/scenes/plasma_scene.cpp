// The plasma scene (orders 21 and 22): a 30 x 30 grid of smooth-shaded quads whose vertex colours
// are recomputed every frame from sines of the time and of each vertex, stretched and shrunk over
// time, with a fade from white at the start of every pattern and towards white at its end.
#include "scenes/plasma_scene.h"

#include "render/fader.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <cmath>

static Vector4 plasmaPoints[32][32];  // z is the vertex's phase
static PlasmaColor plasmaColors[32][32];
static float beatKick = 0;

const Vector4& plasmaPoint(int i, int j)
{
    return plasmaPoints[i][j];
}

const PlasmaColor& plasmaColor(int i, int j)
{
    return plasmaColors[i][j];
}

float plasmaBeatKick()
{
    return beatKick;
}

void PlasmaScene::load()
{
    for (int i = 0; i < 32; ++i) {
        for (int j = 0; j < 32; ++j) {
            const float x = 0.3125f * i - 5;
            const float y = 0.3125f * j - 5;
            plasmaPoints[i][j] = {x, y, 0.5f, 0};
            plasmaColors[i][j] = {0.5f * std::sin(x) + 1, 0.5f, 0.5f * std::sin(y) + 1, 0};
        }
    }
}

void PlasmaScene::enter()
{
    enterWithoutDepthTest();
    glPointSize(4);
    glEnable(GL_LINE_SMOOTH);
}

void PlasmaScene::unload() {}

static void vertex(int i, int j)
{
    const PlasmaColor& c = plasmaColors[i][j];
    const Vector4& p = plasmaPoints[i][j];
    glColor4f(c.r, c.g, c.b, 1);
    glVertex3f(p.x, p.y, 3);
}

void PlasmaScene::render(float t)
{
    time = t;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();

    // From 15 the decay lands on -255 at once, so the first beat row fixes the kick for good.
    if (row % 8 == 0)
        beatKick = 15;
    if (row % 8 == 0 || beatKick > 0)
        beatKick = beatKick - 1.2f * beatKick * beatKick;

    // The vertices lie at z = 3: visible only through the frustum the box is multiplied onto.
    glWindow->beginOrtho(9, 9);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glScalef(0.5f * (std::cos(0.2f * t) + std::sin(0.1f * t)) + 1.5f, 0.5f * std::cos(0.1f * t) + 1.5f, 1);

    const float colourTime = std::sin(beatKick) + 2 * t;
    const float k = 5 * colourTime;
    const float h = 0.5f * colourTime;
    const float a = 1.7f * colourTime;
    const float g = std::sin(colourTime) + 2;
    const float m1 = std::cos(colourTime) + 1.1f;
    const float m2 = std::sin(colourTime) + 1.1f;
    const float w = 10 * (std::sin(0.1f * colourTime) + std::cos(0.5f * colourTime));

    glBegin(GL_QUADS);
    for (int i = 1; i <= 30; ++i) {
        for (int j = 0; j <= 29; ++j) {
            glNormal3f(0, 0, 1);
            vertex(i, j + 1);
            vertex(i + 1, j + 1);
            vertex(i + 1, j + 2);
            vertex(i, j + 2);
        }
    }
    glEnd();

    // Only after the whole grid is drawn: every quad of a frame uses the colours it started with.
    for (int i = 1; i <= 30; ++i) {
        for (int j = 1; j <= 30; ++j) {
            Vector4& p = plasmaPoints[i][j];
            const float l = p.z + p.x;
            const float r1 = 0.5f * (std::sin(k + l) + std::sin(l + colourTime)) + 0.7f;
            const float r = p.z + p.y;
            const float b1 = 0.5f * (std::sin(h + r) + std::sin(a + r)) + r1 + 0.7f;
            PlasmaColor& c = plasmaColors[i][j];
            c.r = g;
            c.g = std::fmod(g + r1, m1);
            c.b = std::fmod(g + b1, m2);
            p.z = w;
        }
    }

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glWindow->endOrtho();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();

    // Each of the scene's orders fades in and out on its own.
    float alpha;
    if (whiteFade(order, row, order, order, alpha))
        flashWhite(alpha, t);
}
