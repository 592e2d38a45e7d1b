// Rendering support on a headless GL context: the camera's projection, the fader, the radial blur,
// particle drawing, and the frame-start state checker itself.
#include "render/camera.h"
#include "render/fader.h"
#include "render/particles.h"
#include "render/radial_blur.h"
#include "shell/driver.h"
#include "support/gl_harness.h"
#include "support/gl_state.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace testsupport;

namespace {

class Tools : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openTestWindow());
        enterFrameStart();
    }
};

void clearTo(float r, float g, float b)
{
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// perspective(fovy, aspect, n, f) x lookAt(eye, center, up), written out from their definitions.
std::array<float, 16> perspectiveLookAt(const Camera& c)
{
    double f = 1 / std::tan(c.fov * M_PI / 360);
    std::array<float, 16> p{};
    p[0] = static_cast<float>(f / c.aspect);
    p[5] = static_cast<float>(f);
    p[10] = static_cast<float>((c.farPlane + c.nearPlane) / (c.nearPlane - c.farPlane));
    p[11] = -1;
    p[14] = static_cast<float>(2 * c.farPlane * c.nearPlane / (c.nearPlane - c.farPlane));

    double fw[3] = {c.center.x - c.eye.x, c.center.y - c.eye.y, c.center.z - c.eye.z};
    double len = std::sqrt(fw[0] * fw[0] + fw[1] * fw[1] + fw[2] * fw[2]);
    for (double& v : fw)
        v /= len;
    double up[3] = {c.up.x, c.up.y, c.up.z};
    double s[3] = {fw[1] * up[2] - fw[2] * up[1], fw[2] * up[0] - fw[0] * up[2], fw[0] * up[1] - fw[1] * up[0]};
    len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (double& v : s)
        v /= len;
    double u[3] = {s[1] * fw[2] - s[2] * fw[1], s[2] * fw[0] - s[0] * fw[2], s[0] * fw[1] - s[1] * fw[0]};
    std::array<float, 16> m = identityMatrix();
    for (int i = 0; i < 3; i++) {
        m[i * 4 + 0] = static_cast<float>(s[i]);
        m[i * 4 + 1] = static_cast<float>(u[i]);
        m[i * 4 + 2] = static_cast<float>(-fw[i]);
    }
    std::array<float, 16> t = identityMatrix();
    t[12] = -c.eye.x;
    t[13] = -c.eye.y;
    t[14] = -c.eye.z;
    return multiply(p, multiply(m, t));
}

}  // namespace

// The state checker itself: a checker that always agreed would hide every state fault.
TEST_F(Tools, CheckerNamesWhatDiffers)
{
    enterFrameStart();
    EXPECT_TRUE(matchesGLState(frameStartState(), captureGLState()));

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glEnable(GL_BLEND);
    ::testing::AssertionResult result = matchesGLState(frameStartState(), captureGLState());
    EXPECT_FALSE(result);
    std::string text = result.message();
    EXPECT_NE(text.find("matrix mode"), std::string::npos) << text;
    EXPECT_NE(text.find("projection stack depth: expected 1, found 2"), std::string::npos) << text;
    EXPECT_NE(text.find("GL_BLEND: expected disabled, found enabled"), std::string::npos) << text;
    glPopMatrix();
    glPopMatrix();  // one too many
    EXPECT_EQ(captureGLState().error, static_cast<GLenum>(GL_STACK_UNDERFLOW));
    enterFrameStart();
    EXPECT_TRUE(matchesGLState(frameStartState(), captureGLState()));
}

TEST_F(Tools, CameraApplyReplacesProjectionWithPerspectiveTimesLookAt)
{
    Camera camera;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    camera.apply();
    GLState expected = frameStartState();
    expected.projectionDepth = 2;
    expected.projection = perspectiveLookAt(camera);
    EXPECT_TRUE(matchesGLState(expected, captureGLState(), 1e-5f));

    camera.setEye(3, -2, 8);
    camera.setCenter(0.5f, 1, -4);
    camera.setFov(70);
    camera.setClipPlanes(0.5f, 100);
    camera.apply();
    expected.projection = perspectiveLookAt(camera);
    EXPECT_TRUE(matchesGLState(expected, captureGLState(), 1e-5f));

    // A zero up vector (centre at the origin) still goes to gluLookAt and raises no GL error.
    camera.setCenter(0, 0, 0);
    camera.apply();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(Tools, FaderCoversTheWholeWindowUnderTheFrustum)
{
    fader->load();
    EXPECT_EQ(fader->red, 1);
    EXPECT_EQ(fader->alpha, 1);

    clearTo(0, 0, 0);
    fader->render(0);
    EXPECT_TRUE(wholeFrameIs({255, 255, 255}));

    clearTo(0, 0, 0);
    fader->setColor(1, 1, 1, 0);
    fader->render(0);
    EXPECT_TRUE(wholeFrameIs({0, 0, 0}));

    clearTo(0, 0, 1);
    fader->setColor(1, 1, 1, 0.5f);
    glEnable(GL_BLEND);  // left disabled whatever it was before
    fader->render(0);
    EXPECT_TRUE(wholeFrameIs({128, 128, 255}));

    // Not clamped by the fader, clamped by GL.
    fader->setColor(2, -1, 0.5f, 1);
    EXPECT_EQ(fader->red, 2);
    EXPECT_EQ(fader->green, -1);
    clearTo(0, 0, 0);
    fader->render(0);
    EXPECT_TRUE(wholeFrameIs({255, 0, 128}));

    GLState expected = frameStartState();
    expected.clearColor = {0, 0, 0, 1};
    expected.currentColor = {1, 0, 0.5f, 1};  // GL clamps the current colour too
    expected.ignore(GLField::CurrentColor);
    EXPECT_TRUE(matchesGLState(expected, captureGLState()));
}

TEST_F(Tools, RadialBlurCapturesTheRedChannelAsLuminance)
{
    radialBlur->load();
    radialBlur->setScreenSize(640, 480);
    radialBlur->setPasses(1);
    radialBlur->setSpread(0);
    RadialBlurSettings settings = radialBlurSettings();
    ASSERT_NE(settings.blurTexture, 0u);

    radialBlur->beginCapture();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 256);
    EXPECT_EQ(viewport[3], 256);
    clearTo(0.8f, 0.2f, 0.4f);
    radialBlur->endCapture();

    GLint format = 0, width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(format, GL_LUMINANCE);
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, 256);
    std::vector<uint8_t> texels(256 * 256);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], 204);
    EXPECT_EQ(texels[256 * 256 - 1], 204);

    // The whole window is cleared to the blur's clear colour, which stays set.
    EXPECT_TRUE(wholeFrameIs({178, 0, 178}));  // 0.7 x 255 = 178.5
    GLState expected = frameStartState();
    expected.clearColor = {0.7f, 0, 0.7f, 0.2f};
    expected.boundTexture = static_cast<GLint>(settings.blurTexture);
    EXPECT_TRUE(matchesGLState(expected, captureGLState()));
    radialBlur->unload();
}

TEST_F(Tools, RadialBlurOverlayQuadsInsetsAndAlphas)
{
    radialBlur->load();
    radialBlur->setScreenSize(640, 480);
    // Additive with the source alpha, so each quad adds grey x alpha and the sums can be read off.
    radialBlur->setBlendFunc(GL_SRC_ALPHA, GL_ONE);

    // A full white capture: four quads add 0.2 + 0.15 + 0.1 + 0.05 = 0.5.
    radialBlur->setPasses(4);
    radialBlur->setSpread(0.01f);
    radialBlur->beginCapture();
    clearTo(1, 1, 1);
    radialBlur->endCapture();
    clearTo(0, 0, 0);
    radialBlur->render(0);
    Rgb centre = readPixel(320, 240);
    EXPECT_NEAR(centre.r, 128, 1);
    EXPECT_EQ(centre.r, centre.b);

    // A white square in the capture's lower-left quarter; two quads of alpha 0.4 and 0.2, the
    // second inset by 0.1 on every side. Quad 0 shows it up to x 160, y 120 (the bottom of the
    // capture at the bottom of the window); quad 1 maps texture 0.25 to (0.25 - 0.1) / 0.8.
    radialBlur->setClearColor(0, 0, 0, 0.4f);
    radialBlur->setPasses(2);
    radialBlur->setSpread(0.1f);
    radialBlur->beginCapture();
    clearTo(0, 0, 0);
    glColor3f(1, 1, 1);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glRectf(-1, -1, -0.5f, -0.5f);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    radialBlur->endCapture();
    radialBlur->render(0);
    EXPECT_NEAR(readPixel(100, 70).r, 153, 2);   // both quads
    EXPECT_NEAR(readPixel(140, 70).r, 102, 2);   // only quad 0: left of 160, right of 120
    EXPECT_NEAR(readPixel(100, 105).r, 102, 2);  // only quad 0: below 120, above 90
    EXPECT_NEAR(readPixel(175, 70).r, 0, 1);
    EXPECT_NEAR(readPixel(100, 135).r, 0, 1);
    EXPECT_NEAR(readPixel(500, 400).r, 0, 1);

    GLState expected = frameStartState();
    expected.depthTest = true;
    expected.blendDestination = GL_ONE;
    expected.clearColor = {0, 0, 0, 0.4f};
    expected.ignore(GLField::CurrentColor);
    EXPECT_TRUE(matchesGLState(expected, captureGLState()));
    radialBlur->unload();
}

TEST_F(Tools, RadialBlurWithNoPassesDrawsNothingButSetsItsState)
{
    radialBlur->load();
    radialBlur->setScreenSize(640, 480);
    radialBlur->setPasses(0);
    radialBlur->setSpread(0.02f);
    clearTo(0.2f, 0.4f, 0.6f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    radialBlur->render(0);
    EXPECT_TRUE(wholeFrameIs({51, 102, 153}));

    GLState expected = frameStartState();
    expected.depthTest = true;  // always left on, whatever it was before
    expected.blendDestination = GL_SRC_COLOR;
    expected.clearColor = {0.2f, 0.4f, 0.6f, 1};
    EXPECT_TRUE(matchesGLState(expected, captureGLState()));
    radialBlur->unload();
}

TEST_F(Tools, ParticlesDrawAsFadingQuadsFromTheirCorner)
{
    ParticleEmitter emitter;
    emitter.setMaxLife(100);
    emitter.setStartSize(20);
    emitter.setOrigin(Vector4{100, 100, 0, 0});
    emitter.spawn(2);
    emitter.particles[0].life = 100;
    emitter.particles[1].life = 50;
    emitter.particles[1].position = {300, 200, 0, 0};
    ParticleSystem system;
    system.add(&emitter);

    clearTo(0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    system.draw();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    EXPECT_EQ(readPixel(101, 101), (Rgb{255, 255, 255}));
    EXPECT_EQ(readPixel(118, 118), (Rgb{255, 255, 255}));
    EXPECT_EQ(readPixel(95, 95), (Rgb{0, 0, 0}));  // the quad grows up and right, not centred
    EXPECT_EQ(readPixel(122, 110), (Rgb{0, 0, 0}));
    EXPECT_NEAR(readPixel(310, 210).g, 128, 1);

    GLState expected = frameStartState();
    expected.clearColor = {0, 0, 0, 1};
    expected.currentColor = {1, 1, 1, 0.5f};
    EXPECT_TRUE(matchesGLState(expected, captureGLState()));
}

TEST_F(Tools, RadialBlurUnloadDeletesOnlyItsOwnTexture)
{
    radialBlur->load();
    GLuint name = radialBlurSettings().blurTexture;
    ASSERT_TRUE(glIsTexture(name));
    radialBlur->unload();
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(radialBlurSettings().blurTexture, 0u);

    // Someone else's texture, likely under the freed name, survives a second unload.
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    glBindTexture(GL_TEXTURE_2D, 0);
    radialBlur->unload();
    EXPECT_TRUE(glIsTexture(other));
    glDeleteTextures(1, &other);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
