// Captures the GL state that the demo's scenes and tools promise to leave behind, and compares it
// with what every frame starts from (the loading bar's frustum, an identity modelview, ...).
//
// Typical use in a test, after testsupport::openTestWindow() and testsupport::enterFrameStart():
//
//     scene.render(0);
//     GLState expected = frameStartState();
//     expected.clearColor = {0, 0, 0, 1};       // what this scene is allowed to change
//     expected.ignore(GLField::CurrentColor);   // what the test does not care about
//     EXPECT_TRUE(matchesGLState(expected, captureGLState()));
//
// matchesGLState reports every differing field by name with both values. captureGLState also
// takes the pending GL error (a push without its pop shows as a stack depth, an extra pop as
// GL_STACK_UNDERFLOW), so `error` must be GL_NO_ERROR unless ignored.
#pragma once
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace testsupport {

enum class GLField : uint32_t {
    MatrixMode = 1u << 0,
    ProjectionDepth = 1u << 1,
    ModelviewDepth = 1u << 2,
    TextureDepth = 1u << 3,
    Projection = 1u << 4,
    Modelview = 1u << 5,
    TextureMatrix = 1u << 6,
    Viewport = 1u << 7,
    Blend = 1u << 8,
    DepthTest = 1u << 9,
    Texture2D = 1u << 10,
    BlendFunc = 1u << 11,
    BoundTexture = 1u << 12,
    ClearColor = 1u << 13,
    CurrentColor = 1u << 14,
    LineWidth = 1u << 15,
    Error = 1u << 16,
};

struct GLState {
    GLint matrixMode = GL_MODELVIEW;
    GLint projectionDepth = 1;
    GLint modelviewDepth = 1;
    GLint textureDepth = 1;
    std::array<float, 16> projection{};
    std::array<float, 16> modelview{};
    std::array<float, 16> textureMatrix{};
    std::array<GLint, 4> viewport{};
    bool blend = false;
    bool depthTest = false;
    bool texture2D = false;
    GLint blendSource = GL_ONE;
    GLint blendDestination = GL_ZERO;
    GLint boundTexture = 0;  // GL_TEXTURE_BINDING_2D
    std::array<float, 4> clearColor{};
    std::array<float, 4> currentColor{};
    float lineWidth = 1;
    GLenum error = GL_NO_ERROR;

    uint32_t compared = ~0u;  // fields matchesGLState looks at
    void ignore(GLField field) { compared &= ~static_cast<uint32_t>(field); }
};

// The state every frame starts from, as the loading bar leaves it: viewport 640 x 480,
// projection glFrustum(-1, 1, -1, 1, 1, 20), identity modelview with GL_MODELVIEW selected, all
// stacks at depth 1, clear colour (0.35, 0.05, 0.35, 0), blending, depth test and texturing off,
// blend function (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA), texture 0 bound, colour white, line width 2.
GLState frameStartState();

// Reads the current context's state (and takes its pending error).
GLState captureGLState();

// Puts the current context into frameStartState().
void enterFrameStart();

// Compares the fields `expected.compared` selects; matrices and colours within `tolerance`.
::testing::AssertionResult matchesGLState(const GLState& expected, const GLState& actual,
                                          float tolerance = 1e-5f);

// Column-major matrices, as GL stores them.
std::array<float, 16> identityMatrix();
std::array<float, 16> frustumMatrix(double l, double r, double b, double t, double n, double f);
std::array<float, 16> orthoMatrix(double l, double r, double b, double t, double n, double f);
std::array<float, 16> multiply(const std::array<float, 16>& a, const std::array<float, 16>& b);

}  // namespace testsupport
