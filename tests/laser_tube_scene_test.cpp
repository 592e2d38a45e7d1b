// The laser tube scene rendered headless: its timed step, the beam's growth and limit, the outline
// grey, the beat pulse, the flash table, the wash that shows nothing, and the GL state it leaves.
#include "render/fader.h"
#include "scenes/laser_tube_scene.h"
#include "support/scene_probes.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

LaserTubeScene scene;

// Load and enter happen in the first test that needs them, so that a test may still find the
// scene never loaded.
class LaserTube : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openSceneWindow());
        static bool loaded = false;
        if (!loaded) {
            loaded = true;
            scene.load();
            glEnable(GL_DEPTH_TEST);  // as the ring scene leaves it
            scene.enter();
        }
    }
};

void renderAt(int order, int row, float t)
{
    testsupport::renderScene(scene, order, row, t);
}

std::vector<float> flashAlphas(int order, int row, float t = 1.0f)
{
    recordingFader.clear();
    renderAt(order, row, t);
    for (bool depthOn : recordingFader.depthTested)
        EXPECT_FALSE(depthOn) << "flash with the depth test on at " << order << ":" << row;
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << order << ":" << row;
    return recordingFader.alphas;
}

// The colours of the outline lines and the texture rows of the laser quads in one frame.
struct Outlines {
    std::vector<float> greys;     // red component of every line vertex
    float laserMinT = 1e9f;       // texture t over the polygons drawn with the laser's alpha
    float laserMaxT = -1e9f;
};

Outlines recordOutlines(int order, int row, float t)
{
    const FrameFeedback frame = recordScene(scene, order, row, t);
    Outlines out;
    for (const auto& line : frame.lines)
        for (const FeedbackVertex& v : line)
            out.greys.push_back(v.r);
    for (const FeedbackPolygon& p : frame.polygons)
        if (std::fabs(p.alpha() - 0.95f) < 1e-3f)
            for (const FeedbackVertex& v : p.vertices) {
                out.laserMinT = std::min(out.laserMinT, v.t);
                out.laserMaxT = std::max(out.laserMaxT, v.t);
            }
    return out;
}

}  // namespace

// First in the file: the scene must not have been loaded yet (the audio library failed to open).
TEST(LaserTubeUnload, DoesNoHarmWhenLoadNeverRan)
{
    LaserTubeScene never;
    never.unload();
    never.unload();
    SUCCEED();
}

// Needs the scene's first render of the process.
TEST_F(LaserTube, FirstFrameTakesNoStepAndTheWashAddsNothing)
{
    LaserTubeState s = laserTubeState();
    ASSERT_EQ(s.stepTime, 0) << "run this test before any other render in the process";
    renderAt(15, 16, 0);
    renderAt(15, 16, 0.02f);
    s = laserTubeState();
    EXPECT_EQ(s.stepTime, 0);
    EXPECT_EQ(s.signX, 2.5f);
    EXPECT_EQ(s.spin, 0);
    EXPECT_EQ(s.fade, 0);

    // Here the surfaces are transparent, the outlines a dark grey, the beam has no area and the
    // sign shows only at the right edge; the row-16 flash has alpha 0. With no destination alpha
    // the wash's weight is 0, so the rest of the screen is black background and grey lines.
    const std::vector<uint8_t> frame = testsupport::readFrameBuffer();
    int black = 0, tinted = 0, bright = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 540; ++x) {
            const uint8_t* p = &frame[(y * 640 + x) * 3];
            if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                ++black;
            if (std::abs(p[0] - p[1]) > 1 || std::abs(p[1] - p[2]) > 1)
                ++tinted;
            if (p[0] > 66)
                ++bright;
        }
    EXPECT_EQ(tinted, 0);
    EXPECT_EQ(bright, 0);
    EXPECT_GT(black, 480 * 540 / 2);

    // One step once more than 0.02 s has passed since the last, and at most one per frame.
    renderAt(15, 17, 0.5f);
    s = laserTubeState();
    EXPECT_EQ(s.stepTime, 0.5f);
    EXPECT_FLOAT_EQ(s.signX, 2.5f - 0.016f);
    EXPECT_FLOAT_EQ(s.spin, 0.2f);
    EXPECT_FLOAT_EQ(s.fade, 0.1f);
    renderAt(15, 17, 0.52f);
    EXPECT_EQ(laserTubeState().stepTime, 0.5f);
}

TEST_F(LaserTube, OrderFifteenFadesInWithoutBeamAndOutlinesTurnWhite)
{
    float t = 1;
    for (int step = 0; step < 14; ++step, t += 0.05f)
        renderAt(15, 20 + step, t);
    EXPECT_NEAR(laserTubeState().fade, 1, 1e-5);
    EXPECT_EQ(laserTubeState().beamLength, 0);
    EXPECT_EQ(laserTubeState().zPulse, 0);

    const std::pair<int, float> rows[] = {{0, 0}, {32, 0.5f}, {63, 63 / 64.0f}, {64, 1}, {100, 1}, {127, 1}};
    for (const auto& [row, grey] : rows) {
        const Outlines o = recordOutlines(15, row, t += 0.05f);
        ASSERT_FALSE(o.greys.empty());
        for (float g : o.greys)
            ASSERT_NEAR(g, grey, 1e-3) << "row " << row;
    }
    EXPECT_EQ(recordOutlines(16, 5, t += 0.05f).greys.front(), 1);
}

TEST_F(LaserTube, BeamGrowsFromOrderSixteenAndStopsAtTwoHundred)
{
    // Later than any earlier test's frames, so that every frame here is more than 0.02 s on.
    float t = 10;
    renderAt(16, 0, t);
    const float before = laserTubeState().beamLength;
    EXPECT_EQ(laserTubeState().fade, 1);
    renderAt(16, 1, t += 0.03f);
    EXPECT_FLOAT_EQ(laserTubeState().beamLength, before + 0.05f);

    // The band scrolls once every ten seconds.
    const Outlines o = recordOutlines(16, 2, t = 15.0f);
    const float vStart = (std::fmod(150.0f, 100.0f) - 0.15f) * 0.01f;
    EXPECT_NEAR(o.laserMinT, vStart, 1e-4);
    EXPECT_NEAR(o.laserMaxT, vStart + 0.15f, 1e-4);

    // Thousands of steps, drawn into one pixel.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    float last = laserTubeState().beamLength;
    bool overshot = false;
    for (int frame = 0; frame < 4100 && last < 200; ++frame) {
        renderAt(16, frame % 128, t += 0.03f);
        const float now = laserTubeState().beamLength;
        overshot = overshot || now > 200 || now < last;
        last = now;
    }
    renderAt(17, 3, t += 0.03f);
    glDisable(GL_SCISSOR_TEST);
    EXPECT_FALSE(overshot);
    EXPECT_EQ(laserTubeState().beamLength, 200);
}

TEST_F(LaserTube, ZPulseRestartsOnEveryBeatRowFromOrderSeventeen)
{
    renderAt(16, 8, 1);
    EXPECT_EQ(laserTubeState().zPulse, 0);
    renderAt(17, 8, 1.1f);
    EXPECT_FLOAT_EQ(laserTubeState().zPulse, 1.716f);
    renderAt(17, 8, 1.12f);
    EXPECT_FLOAT_EQ(laserTubeState().zPulse, 1.716f);
    float z = 1.716f;
    for (int row = 9; row < 12; ++row) {
        z = z - 0.071f * z * z;
        renderAt(17, row, 1.2f);
        EXPECT_FLOAT_EQ(laserTubeState().zPulse, z) << "row " << row;
    }
    EXPECT_NEAR(z, 1.217, 1e-3);
    renderAt(17, 16, 1.3f);
    EXPECT_FLOAT_EQ(laserTubeState().zPulse, 1.716f);
    renderAt(20, 120, 1.4f);
    EXPECT_FLOAT_EQ(laserTubeState().zPulse, 1.716f);
}

TEST_F(LaserTube, FlashesByTheFirstMatchingRow)
{
    struct Case { int order, row; std::vector<float> alphas; };
    const Case cases[] = {
        {15, 0, {1}}, {15, 8, {0.5f}}, {15, 15, {1 / 16.0f}}, {15, 16, {0}}, {15, 17, {}}, {15, 24, {}},
        {16, 0, {}}, {16, 8, {}}, {16, 112, {}}, {16, 120, {}},
        {17, 0, {0.15f}}, {17, 16, {0.15f}}, {17, 5, {}}, {19, 112, {0.15f}},
        {20, 104, {0.15f}}, {20, 111, {}}, {20, 112, {0}}, {20, 113, {1 / 16.0f}}, {20, 120, {0.5f}},
        {20, 127, {15 / 16.0f}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(flashAlphas(c.order, c.row), c.alphas) << c.order << ":" << c.row;
    renderAt(15, 0, 1);
    EXPECT_TRUE(testsupport::wholeFrameIs({255, 255, 255}));
}

TEST_F(LaserTube, LeavesTheStateItPromises)
{
    using testsupport::GLField;
    // Enter restores the full viewport, clears to black and turns line smoothing on; the depth
    // test stays as the ring scene left it.
    glDisable(GL_LINE_SMOOTH);
    const testsupport::GLState entered = testsupport::enterFromStrayState(scene, true);
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));

    // After a frame: frame-start matrices, depth test on, blending and texturing off, line
    // smoothing off, the lines 1.5 wide, the sign's colour or the last flash's.
    testsupport::GLState after = entered;
    after.lineWidth = 1.5f;
    after.ignore(GLField::BoundTexture);
    after.currentColor = {1, 1, 1, 0.7f};
    renderAt(16, 3, 1.5f);
    EXPECT_TRUE(testsupport::matchesGLState(after, testsupport::captureGLState())) << "after a frame without flash";
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_NE(bound, 0) << "the sign's texture stays bound";

    after.currentColor = {1, 1, 1, 0.25f};
    renderAt(20, 116, 1.6f);
    EXPECT_TRUE(testsupport::matchesGLState(after, testsupport::captureGLState())) << "after a flash";
    scene.leave();
    EXPECT_TRUE(testsupport::matchesGLState(after, testsupport::captureGLState())) << "after leave";
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
}

TEST_F(LaserTube, UnloadDeletesTheQuadricsOnce)
{
    scene.unload();
    scene.unload();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
