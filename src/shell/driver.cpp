// The demo driver: builds every long-lived object, runs the loading sequence with its bar, then
// the main loop that follows the music along the timeline of scenes.
#include "shell/driver.h"

#include "music/music_player.h"
#include "platform/platform.h"
#include "render/fader.h"
#include "render/radial_blur.h"
#include "scenes/credits_scene.h"
#include "scenes/glyph_blur_scene.h"
#include "scenes/laser_tube_scene.h"
#include "scenes/lattice_scene.h"
#include "scenes/plasma_scene.h"
#include "scenes/ring_scene.h"
#include "scenes/title_scene.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <cstdio>
#include <iterator>

// Program-wide objects, constructed in this order before the entry runs.
GLWindow* glWindow = new GLWindow(640, 480);

static Scene* titleScene = new TitleScene;
static Scene* glyphBlurScene = new GlyphBlurScene;
RadialBlur* radialBlur = new RadialBlur;
static Scene* ringScene = new RingScene;
static Scene* laserTubeScene = new LaserTubeScene;
static Scene* latticeScene = new LatticeScene;
static Scene* creditsScene = new CreditsScene;
static Scene* plasmaScene = new PlasmaScene;
Fader* fader = new Fader;

// Construction, load, unload and deletion order.
static Scene* effects[] = {
    titleScene, glyphBlurScene, radialBlur, ringScene, laserTubeScene,
    latticeScene, creditsScene, plasmaScene, fader,
};

ScheduleEntry schedule[scheduleRows] = {
    {titleScene, 0, 0},
    {glyphBlurScene, 5, 1},
    {ringScene, 7, 2},
    {laserTubeScene, 15, 3},
    {plasmaScene, 21, 4},
    {creditsScene, 23, 5},
    {nullptr, 39, 6},
};
int32_t scheduleCount = 6;

void scheduleLatticeScene(int32_t startOrder)
{
    // The credits row and the end marker are the last two filled rows.
    int32_t row = scheduleCount - 1;
    if (schedule[row].startOrder < startOrder)
        row += 1;
    const int32_t endOrder = schedule[scheduleCount].startOrder;
    schedule[row] = {latticeScene, startOrder, row};
    schedule[row + 1] = {nullptr, endOrder, row + 1};
    scheduleCount = row + 1;
}

Scene* currentScene = nullptr;
int32_t scheduleIndex = 0;
float startTicks = 0;
float now = 0;
float sceneStart = 0;
bool loaded = false;
bool active = true;
unsigned char keys[256] = {};
bool quitPosted = false;
FrameReport frameReport = {};

// Set when the audio library could not be opened: the demo then ends through the normal path but
// reports the failure in its exit status.
static bool audioFailed = false;

// startTicks was rounded to a float when taken; the current tick count is not.
static float secondsSinceStart()
{
    return static_cast<float>((static_cast<double>(platform::tickCount()) - startTicks) * 0.001);
}

int demoMain(FullscreenChoice choice)
{
    platform::enterDataFolder();

    glWindow->setTitle("zub.plomvardix");
    if (choice == FullscreenChoice::Ask) {
        int answer =
            platform::messageBox("fullscreen?", glWindow->title(), platform::mbYesNo | platform::mbIconQuestion);
        // Full screen is never taken unasked: with no box to ask in, the window it is.
        if (answer == platform::idNone)
            std::fprintf(stderr, "plomvardix: starting in a window; choose with --fullscreen or --windowed\n");
        glWindow->setFullscreen(answer != platform::idNo && answer != platform::idNone);
    } else {
        glWindow->setFullscreen(choice == FullscreenChoice::Yes);
    }

    if (!glWindow->create(glWindow->title(), glWindow->width(), glWindow->height(), 32, glWindow->isFullscreen())) {
        // Reported as a failure, not a normal end: the box has already said why.
        std::fprintf(stderr, "plomvardix: the window or its GL context could not be created\n");
        return 1;
    }

    for (;;) {
        if (quitPosted)
            break;
        platform::Event event;
        if (platform::pollEvent(event)) {
            glWindow->windowProc(event);
            continue;
        }
        if (!loaded) {
            loadDemo();
            continue;
        }
        if (active && renderFrame() < 0)
            break;
        if (keys[platform::keyEscape])
            break;
        if (keys[platform::keySpace]) {
            music.setPosition(music.order() + 1, 0);
            keys[platform::keySpace] = 0;
        }
        glWindow->keysRead();
        platform::swapBuffers();
    }

    glWindow->destroy();
    shutdownDemo();
}

int loadDemo()
{
    drawLoadingBar(0);
    startTicks = static_cast<float>(platform::tickCount());
    now = secondsSinceStart();
    sceneStart = now;
    drawLoadingBar(10);
    drawLoadingBar(15);

    if (music.init() < 0) {
        std::fprintf(stderr, "plomvardix: the audio library could not be initialised\n");
        audioFailed = true;
        loaded = true;
        return -1;
    }
    // Without its module the music never moves, so the first scene stays until Escape: say why.
    if (music.load("data/glimo.it") == 0)
        std::fprintf(stderr, "plomvardix: the module data/glimo.it could not be loaded; "
                             "the music will not play and the first scene stays until Escape\n");

    for (std::size_t k = 0; k < std::size(effects); ++k) {
        drawLoadingBar(40.0f + k);
        effects[k]->load();
    }
    drawLoadingBar(49);

    currentScene = schedule[scheduleIndex].scene;
    if (currentScene)
        currentScene->enter();
    drawLoadingBar(100);
    platform::sleep(1000);
    loaded = true;
    return 1;
}

void drawLoadingBar(float progress)
{
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glClearColor(0.35f, 0.05f, 0.35f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glFrustum(-1, 1, -1, 1, 1, 20);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 1, 1);
    glWindow->beginOrtho(110, 10);

    glColor3f(0.9f, 0.2f, 0.91f);
    glLineWidth(2);
    glBegin(GL_LINE_LOOP);
    glVertex3f(-50.5f, -0.1f, 0);
    glVertex3f(50.5f, -0.1f, 0);
    glVertex3f(50.5f, 0.3f, 0);
    glVertex3f(-50.5f, 0.3f, 0);
    glEnd();

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, progress * 0.01f);
    glBegin(GL_QUADS);
    glVertex3f(-50, 0, 0);
    glVertex3f(progress - 50, 0, 0);
    glVertex3f(progress - 50, 0.2f, 0);
    glVertex3f(-50, 0.2f, 0);
    glEnd();

    glDisable(GL_BLEND);
    glWindow->endOrtho();
    platform::sleep(10);
    glFlush();
    platform::swapBuffers();
}

int renderFrame()
{
    ++frameReport.steps;
    frameReport.rendered = false;
    frameReport.scene = nullptr;

    glClear(GL_COLOR_BUFFER_BIT);
    if (!music.isPlaying()) {
        music.start();
        music.resume();
        music.setPosition(0, 0);
    }
    music.update();
    int order = music.order();
    int row = music.row();
    frameReport.order = order;
    frameReport.row = row;
    now = secondsSinceStart();

    if (!currentScene)
        return -1;

    if (order == schedule[scheduleIndex + 1].startOrder) {
        scheduleIndex += 1;
        currentScene->leave();
        if (scheduleIndex >= scheduleCount)
            return -1;
        schedule[scheduleIndex].scene->enter();
        sceneStart = now;
    }
    currentScene = schedule[scheduleIndex].scene;
    currentScene->setMusicPosition(order, row);
    float t = now - sceneStart;
    frameReport.rendered = true;
    frameReport.scene = currentScene;
    frameReport.t = t;
    currentScene->render(t);
    glFlush();
    return 1;
}

void shutdownDemo()
{
    music.close();
    for (Scene* object : effects)
        object->unload();
    for (Scene*& object : effects) {
        delete object;
        object = nullptr;
    }
    radialBlur = nullptr;
    fader = nullptr;
    platform::exitProcess(audioFailed ? 1 : 0);
}
