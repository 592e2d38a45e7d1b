// Headless GL for tests through the demo's own window on the offline back end.
#include "support/gl_harness.h"

#include "shell/glwindow.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace testsupport {

bool openTestWindow()
{
    static bool tried = false;
    static bool opened = false;
    if (!tried) {
        tried = true;
        opened = glWindow->create("test", 640, 480, 32, false);
    }
    return opened;
}

Rgb readPixel(int x, int y)
{
    unsigned char p[3] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

std::vector<uint8_t> readFrameBuffer()
{
    std::vector<uint8_t> rgb(640 * 480 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

::testing::AssertionResult wholeFrameIs(Rgb c, int tolerance)
{
    const std::vector<uint8_t> rgb = readFrameBuffer();
    for (size_t i = 0; i < rgb.size(); i += 3) {
        const Rgb p{rgb[i], rgb[i + 1], rgb[i + 2]};
        if (std::abs(p.r - c.r) > tolerance || std::abs(p.g - c.g) > tolerance || std::abs(p.b - c.b) > tolerance)
            return ::testing::AssertionFailure() << "pixel (" << i / 3 % 640 << ", " << i / 3 / 640 << ") is " << p;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult cameraIs(const Camera& c, const std::array<float, 10>& expected)
{
    const std::array<float, 10> actual = {c.eye.x, c.eye.y, c.eye.z, c.center.x, c.center.y, c.center.z,
                                          c.fov,   c.nearPlane, c.farPlane, c.aspect};
    const char* const names[10] = {"eye x", "eye y", "eye z", "centre x", "centre y", "centre z",
                                   "fov",   "near",  "far",   "aspect"};
    for (size_t i = 0; i < actual.size(); ++i)
        if (!(std::fabs(actual[i] - expected[i]) <= 1e-6f * std::max(1.0f, std::fabs(expected[i]))))
            return ::testing::AssertionFailure() << names[i] << " is " << actual[i] << ", not " << expected[i];
    return ::testing::AssertionSuccess();
}

void renderScene(Scene& scene, int order, int row, float t)
{
    scene.setMusicPosition(order, row);
    scene.render(t);
}

GLState enterFromStrayState(Scene& scene, bool keepsDepthTest)
{
    enterFrameStart();
    glViewport(0, 0, 10, 10);
    glEnable(GL_DEPTH_TEST);
    scene.enter();
    GLState entered = frameStartState();
    entered.clearColor = {0, 0, 0, 0};
    entered.depthTest = keepsDepthTest;
    EXPECT_TRUE(matchesGLState(entered, captureGLState()));
    return entered;
}

GLState enterSmoothPointScene(Scene& scene)
{
    glDisable(GL_LINE_SMOOTH);
    glPointSize(1);
    const GLState entered = enterFromStrayState(scene);
    GLfloat pointSize = 0;
    glGetFloatv(GL_POINT_SIZE, &pointSize);
    EXPECT_EQ(pointSize, 4);
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    return entered;
}

}  // namespace testsupport
