// The ring scene rendered headless: the camera by row band, the third frequency's one jump, the
// logo's slide, the flashes and strobe, the closed ring, the smoke's one step per frame, GL state.
#include "render/fader.h"
#include "render/radial_blur.h"
#include "scenes/ring_scene.h"
#include "support/scene_probes.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

// Made once the platform is up: its emitter reads the clock when it is constructed.
RingScene* scene = nullptr;
const bool loaded = addSceneEnvironment([] {
    scene = new RingScene;
    scene->load();
    scene->enter();
});

void renderAt(int order, int row, float t)
{
    testsupport::renderScene(*scene, order, row, t);
}

FrameFeedback recordAt(int order, int row, float t = 1.0f)
{
    return recordScene(*scene, order, row, t);
}

void expectEye(float x, float y, float z, const char* what)
{
    const Vector4 eye = ringCamera().eye;
    EXPECT_FLOAT_EQ(eye.x, x) << what;
    EXPECT_FLOAT_EQ(eye.y, y) << what;
    EXPECT_FLOAT_EQ(eye.z, z) << what;
}

}  // namespace

// First in the file: it needs a scene that has not yet rendered a beat row.
TEST(RingScene, ThirdFrequencyJumpsForGoodOnTheFirstBeatRow)
{
    ASSERT_FLOAT_EQ(ringThirdFrequency(), 1) << "run this test before any other in the process";
    renderAt(7, 1, 0.1f);
    renderAt(7, 7, 0.2f);
    EXPECT_FLOAT_EQ(ringThirdFrequency(), 1);
    const float jumped = 4 - 1.1f * 16 + 1;
    renderAt(7, 8, 0.3f);
    EXPECT_FLOAT_EQ(ringThirdFrequency(), jumped);
    for (int row : {9, 15, 16, 17, 100}) {
        renderAt(8, row, 0.4f);
        EXPECT_FLOAT_EQ(ringThirdFrequency(), jumped) << "row " << row;
    }
}

TEST(RingScene, EyeFollowsTheRowBandAndRowZeroKeepsIt)
{
    auto d = [](float t) { return 1.5f * std::cos(t / 2) + 2; };
    auto e = [](float t) { return 1.5f * std::sin(t / 2) + 2; };
    renderAt(8, 5, 1.0f);
    expectEye(d(1), e(1), 0, "row 5");
    renderAt(9, 0, 3.0f);
    expectEye(d(1), e(1), 0, "row 0 after row 5");
    renderAt(9, 40, 2.0f);
    expectEye(0, e(2), d(2), "row 40");
    renderAt(9, 70, 4.0f);
    expectEye(d(4), 0, e(4), "row 70");
    renderAt(9, 100, 5.0f);
    expectEye(d(5), e(5), d(5), "row 100");
    renderAt(10, 0, 6.0f);
    expectEye(d(5), e(5), d(5), "row 0 after row 100");
    renderAt(10, 128, 7.0f);
    expectEye(d(5), e(5), d(5), "row 128");
}

TEST(RingScene, LogoAndSmokeSlideByTheRow)
{
    EXPECT_FLOAT_EQ(ringSlideX(0), 1);
    EXPECT_FLOAT_EQ(ringSlideX(31), -0.9375f);
    EXPECT_FLOAT_EQ(ringSlideX(32), -1);
    EXPECT_FLOAT_EQ(ringSlideX(96), -1);
    EXPECT_FLOAT_EQ(ringSlideX(97), -1.03125f);
    EXPECT_FLOAT_EQ(ringSlideX(127), -1.96875f);
    for (int row : {0, 31, 32, 97, 127}) {
        renderAt(9, row, 1.0f);
        EXPECT_FLOAT_EQ(scene->emitter.origin[0], 320 * ringSlideX(row)) << "row " << row;
        EXPECT_FLOAT_EQ(scene->emitterOrigin.y, 0);
    }
    // The lift: every frame of a beat row ends at 0.1, the rows after decay it.
    renderAt(9, 40, 1.0f);
    renderAt(9, 40, 1.1f);
    EXPECT_FLOAT_EQ(ringLogoPulse(), 0.1f);
    renderAt(9, 41, 1.2f);
    EXPECT_FLOAT_EQ(ringLogoPulse(), 0.1f - 0.009f);
}

TEST(RingScene, OrderSevenFadesInInsteadOfTheBeatFlash)
{
    renderAt(7, 0, 0);
    EXPECT_TRUE(testsupport::wholeFrameIs({255, 255, 255}));
    expectFlashes(*scene, {
        {7, 0, {1}}, {7, 8, {0.5f}}, {7, 16, {0}}, {7, 4, {0.75f}}, {7, 24, {0.15f}}, {7, 17, {}},
        {9, 0, {0.15f}}, {9, 3, {}}, {9, 112, {0.15f}}, {9, 113, {}},
    });
}

TEST(RingScene, OrderFourteenStrobesOnItsLastSixteenRows)
{
    expectFlashes(*scene, {
        {14, 112, {0, 1}}, {14, 113, {1 / 16.0f}}, {14, 114, {2 / 16.0f, 1}}, {14, 120, {0.5f, 1}},
        {14, 127, {15 / 16.0f}}, {14, 104, {0.15f}}, {14, 110, {}}, {13, 112, {0.15f}}, {13, 114, {}},
    });
    renderAt(14, 114, 1.0f);
    EXPECT_TRUE(testsupport::wholeFrameIs({255, 255, 255}));
}

TEST(RingScene, DrawsTheBlurOverlayWithItsOwnSpread)
{
    scene->enter();
    FrameFeedback frame = recordAt(9, 3);
    ASSERT_EQ(frame.blurInsets.size(), 10u);
    for (size_t k = 0; k < 10; ++k)
        EXPECT_NEAR(frame.blurInsets[k], 0.015f * k, 1e-5) << k;
}

// The sixteenth band's faces run from section 15 to section 0, as projected in the capture.
TEST(RingScene, TheLastBandJoinsTheLastSectionToTheFirst)
{
    bool checked = false;
    // Not t = 0: there section 0 collapses onto a line and its side faces have no area.
    for (float t = 0.5f; t < 20 && !checked; t += 0.25f) {
        FrameFeedback frame = recordAt(9, 5, t);

        GLdouble projection[16], modelview[16];
        const GLint viewport[4] = {0, 0, 256, 256};
        Camera camera = ringCamera();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        camera.apply();
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glRotatef(10 * t, 12, 12, 0);
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        glPopMatrix();

        auto project = [&](const Vector4& v, std::array<float, 2>& out) {
            GLdouble x, y, z;
            gluProject(v.x, v.y, v.z, modelview, projection, viewport, &x, &y, &z);
            out = {static_cast<float>(x), static_cast<float>(y)};
            return x > 1 && x < 255 && y > 1 && y < 255 && z > 0 && z < 1;
        };
        const Vector4* a = scene->sections[15];
        const Vector4* b = scene->sections[0];
        const Vector4 faces[4][4] = {
            {a[0], b[0], b[3], a[3]}, {a[1], b[1], b[2], a[2]}, {a[0], b[0], b[1], a[1]}, {a[3], b[3], b[2], a[2]},
        };
        std::array<float, 2> expected[4][4];
        bool inside = true;
        for (int f = 0; f < 4; ++f)
            for (int v = 0; v < 4; ++v)
                inside = project(faces[f][v], expected[f][v]) && inside;
        if (!inside)
            continue;

        // Quads may come back as triangles: a face is there when polygons drawn from its corners
        // alone, and from no other point, use all four of them.
        for (int f = 0; f < 4; ++f) {
            bool used[4] = {};
            for (const FeedbackPolygon& p : frame.polygons) {
                bool fromFace = !p.inBlur;
                int corner[8];
                for (size_t v = 0; v < p.vertices.size() && fromFace; ++v) {
                    corner[v] = -1;
                    for (int c = 0; c < 4; ++c)
                        if (std::fabs(p.vertices[v].x - expected[f][c][0]) < 0.05f &&
                            std::fabs(p.vertices[v].y - expected[f][c][1]) < 0.05f)
                            corner[v] = c;
                    fromFace = corner[v] >= 0 && v < 8;
                }
                for (size_t v = 0; fromFace && v < p.vertices.size(); ++v)
                    used[corner[v]] = true;
            }
            EXPECT_TRUE(used[0] && used[1] && used[2] && used[3]) << "face " << f << " of the last band at t " << t;
        }
        checked = true;
    }
    EXPECT_TRUE(checked) << "no frame showed the whole last band inside the capture";
}

TEST(RingScene, SmokeStepsOncePerFrame)
{
    EXPECT_EQ(scene->particleSystem.count, 1);
    ASSERT_EQ(scene->emitter.count, 100);
    for (int frame = 0; frame < 3; ++frame) {
        float before[100];
        for (int i = 0; i < 100; ++i)
            before[i] = scene->emitter.particles[i].life;
        renderAt(10, 20 + frame, 1.0f + frame * 0.016f);
        for (int i = 0; i < 100; ++i) {
            const Particle& p = scene->emitter.particles[i];
            if (before[i] - 0.75f > 0) {
                EXPECT_FLOAT_EQ(p.life, before[i] - 0.75f) << "particle " << i;
            } else {
                EXPECT_FLOAT_EQ(p.life, 100) << "particle " << i;
                EXPECT_FLOAT_EQ(p.position.x, 320 * ringSlideX(20 + frame));
            }
        }
    }
}

TEST(RingScene, LeavesTheStateItPromises)
{
    using testsupport::GLField;
    // Enter restores the full viewport, clears to black and turns the depth test off.
    testsupport::enterFromStrayState(*scene);

    renderAt(9, 3, 1.5f);
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1), testsupport::captureGLState()))
        << "after a frame without flash";
    renderAt(14, 112, 2.0f);
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1), testsupport::captureGLState()))
        << "after the strobe";
    glDisable(GL_DEPTH_TEST);
    scene->leave();
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1), testsupport::captureGLState()))
        << "after leave";
}
