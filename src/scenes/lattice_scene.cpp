// The lattice scene: 80 points turning on a red background, each growing a line towards the
// neighbour its load drew. Its load draws from the program's one random sequence, so it shifts
// every number drawn after it.
#include "scenes/lattice_scene.h"

#include "render/random.h"
#include "render/texture.h"

#include <GL/gl.h>
#include <cmath>

static LatticeNode latticeNodes[80];
static Camera latticeCamera;
static Texture picture;  // loaded, never drawn
static int growSteps;
static int linkCount;
static float lastGrowTime = 0;

const LatticeNode& latticeNode(int index)
{
    return latticeNodes[index];
}

int latticeLinkCount()
{
    return linkCount;
}

float latticeLastGrowTime()
{
    return lastGrowTime;
}

const Camera& latticeSceneCamera()
{
    return latticeCamera;
}

static bool insideLattice(int i, int j, int k)
{
    return i >= 0 && i <= 4 && j >= 0 && j <= 3 && k >= 0 && k <= 3;
}

void LatticeScene::load()
{
    loadTGA(picture, "data/bazura.tga");
    latticeCamera.setEye(3, 3, 3);
    latticeCamera.setCenter(0, 0, 0.8f);
    latticeCamera.setFov(100);
    latticeCamera.setClipPlanes(1, 1000);
    growSteps = 5;
    linkCount = 0;

    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                LatticeNode& node = latticeNodes[16 * i + 4 * j + k];
                node.position = {i - 2.5f, 1.25f * j - 2.5f, 1.25f * k - 2.5f, 0};
                node.cell[0] = i;
                node.cell[1] = j;
                node.cell[2] = k;
                node.link = nullptr;
                node.growth = 0;
            }
        }
    }

    // Whole passes only; a draw that leads outside leaves the node's earlier link, and a
    // replacement counts like a first link, so some nodes may end with none.
    static const int steps[6][3] = {{0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
    do {
        for (LatticeNode& node : latticeNodes) {
            const int* step = steps[nextRandom() % 6];
            const int i = node.cell[0] + step[0];
            const int j = node.cell[1] + step[1];
            const int k = node.cell[2] + step[2];
            if (insideLattice(i, j, k)) {
                node.link = &latticeNodes[16 * i + 4 * j + k];
                ++linkCount;
            }
        }
    } while (linkCount < 80);
}

void LatticeScene::enter()
{
    enterWithoutDepthTest();
    glPointSize(4);
    glEnable(GL_LINE_SMOOTH);
}

void LatticeScene::unload() {}

void LatticeScene::render(float t)
{
    // lastGrowTime is never reset, so a second visit ticks again only once t passes it.
    const bool tick = t - lastGrowTime > 0.1f;
    if (tick)
        lastGrowTime = t;

    glClearColor(1, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    latticeCamera.apply();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRotatef(30 * t, 1, 1, 1);

    // No colour, line width or texture of its own: whatever is current draws the lattice.
    glBegin(GL_POINTS);
    for (const LatticeNode& node : latticeNodes)
        glVertex3f(node.position.x, node.position.y, node.position.z);
    glEnd();

    for (LatticeNode& node : latticeNodes) {
        if (!node.link)
            continue;
        if (tick && node.growth <= growSteps)
            node.growth += 1;
        const float f = static_cast<float>(node.growth) / growSteps;
        const Vector4& p = node.position;
        const Vector4& q = node.link->position;
        // The absolute values grow every line towards +x, +y or +z, whichever side the link is on.
        glBegin(GL_LINE_STRIP);
        glVertex3f(p.x, p.y, p.z);
        glVertex3f(p.x + f * std::fabs(p.x - q.x), p.y + f * std::fabs(p.y - q.y), p.z + f * std::fabs(p.z - q.z));
        glEnd();
    }

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
}
