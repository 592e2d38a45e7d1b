// Capture and comparison of the GL state the scenes and tools promise to leave.
#include "support/gl_state.h"

#include <cmath>
#include <sstream>

namespace testsupport {

std::array<float, 16> identityMatrix()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

std::array<float, 16> frustumMatrix(double l, double r, double b, double t, double n, double f)
{
    std::array<float, 16> m{};
    m[0] = static_cast<float>(2 * n / (r - l));
    m[5] = static_cast<float>(2 * n / (t - b));
    m[8] = static_cast<float>((r + l) / (r - l));
    m[9] = static_cast<float>((t + b) / (t - b));
    m[10] = static_cast<float>(-(f + n) / (f - n));
    m[11] = -1;
    m[14] = static_cast<float>(-2 * f * n / (f - n));
    return m;
}

std::array<float, 16> orthoMatrix(double l, double r, double b, double t, double n, double f)
{
    std::array<float, 16> m{};
    m[0] = static_cast<float>(2 / (r - l));
    m[5] = static_cast<float>(2 / (t - b));
    m[10] = static_cast<float>(-2 / (f - n));
    m[12] = static_cast<float>(-(r + l) / (r - l));
    m[13] = static_cast<float>(-(t + b) / (t - b));
    m[14] = static_cast<float>(-(f + n) / (f - n));
    m[15] = 1;
    return m;
}

std::array<float, 16> multiply(const std::array<float, 16>& a, const std::array<float, 16>& b)
{
    std::array<float, 16> m{};
    for (int col = 0; col < 4; col++)
        for (int rowIndex = 0; rowIndex < 4; rowIndex++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += static_cast<double>(a[k * 4 + rowIndex]) * b[col * 4 + k];
            m[col * 4 + rowIndex] = static_cast<float>(sum);
        }
    return m;
}

GLState frameStartState()
{
    GLState s;
    s.projection = frustumMatrix(-1, 1, -1, 1, 1, 20);
    s.modelview = identityMatrix();
    s.textureMatrix = identityMatrix();
    s.viewport = {0, 0, 640, 480};
    s.blendSource = GL_SRC_ALPHA;
    s.blendDestination = GL_ONE_MINUS_SRC_ALPHA;
    s.clearColor = {0.35f, 0.05f, 0.35f, 0};
    s.currentColor = {1, 1, 1, 1};
    s.lineWidth = 2;
    return s;
}

GLState captureGLState()
{
    GLState s;
    s.error = glGetError();
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelviewDepth);
    glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &s.textureDepth);
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
    glGetFloatv(GL_TEXTURE_MATRIX, s.textureMatrix.data());
    glGetIntegerv(GL_VIEWPORT, s.viewport.data());
    s.blend = glIsEnabled(GL_BLEND);
    s.depthTest = glIsEnabled(GL_DEPTH_TEST);
    s.texture2D = glIsEnabled(GL_TEXTURE_2D);
    glGetIntegerv(GL_BLEND_SRC, &s.blendSource);
    glGetIntegerv(GL_BLEND_DST, &s.blendDestination);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.boundTexture);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clearColor.data());
    glGetFloatv(GL_CURRENT_COLOR, s.currentColor.data());
    glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
    return s;
}

void enterFrameStart()
{
    while (glGetError() != GL_NO_ERROR) {
    }
    // Unwind whatever an earlier, failed test left pushed.
    const GLenum modes[] = {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW};
    const GLenum depths[] = {GL_TEXTURE_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH, GL_MODELVIEW_STACK_DEPTH};
    for (int i = 0; i < 3; i++) {
        glMatrixMode(modes[i]);
        GLint depth = 1;
        glGetIntegerv(depths[i], &depth);
        for (; depth > 1; depth--)
            glPopMatrix();
        glLoadIdentity();
    }
    // The loading bar's own steps, without the bar.
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glClearColor(0.35f, 0.05f, 0.35f, 0);
    glFrustum(-1, 1, -1, 1, 1, 20);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    glLineWidth(2);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}

namespace {

const char* enumName(GLint value)
{
    switch (value) {
    case GL_ZERO: return "GL_ZERO";  // also GL_NO_ERROR
    case GL_ONE: return "GL_ONE";
    case GL_SRC_ALPHA: return "GL_SRC_ALPHA";
    case GL_ONE_MINUS_SRC_ALPHA: return "GL_ONE_MINUS_SRC_ALPHA";
    case GL_SRC_COLOR: return "GL_SRC_COLOR";
    case GL_ONE_MINUS_SRC_COLOR: return "GL_ONE_MINUS_SRC_COLOR";
    case GL_DST_COLOR: return "GL_DST_COLOR";
    case GL_DST_ALPHA: return "GL_DST_ALPHA";
    case GL_MODELVIEW: return "GL_MODELVIEW";
    case GL_PROJECTION: return "GL_PROJECTION";
    case GL_TEXTURE: return "GL_TEXTURE";
    case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    default: return nullptr;
    }
}

std::string showEnum(GLint value)
{
    const char* name = enumName(value);
    std::ostringstream out;
    if (name)
        out << name;
    else
        out << "0x" << std::hex << value;
    return out.str();
}

template <size_t N>
std::string showFloats(const std::array<float, N>& values)
{
    std::ostringstream out;
    out << "(";
    for (size_t i = 0; i < N; i++)
        out << (i ? ", " : "") << values[i];
    out << ")";
    return out.str();
}

template <size_t N>
bool near(const std::array<float, N>& a, const std::array<float, N>& b, float tolerance)
{
    for (size_t i = 0; i < N; i++)
        if (!(std::fabs(a[i] - b[i]) <= tolerance))
            return false;
    return true;
}

}  // namespace

::testing::AssertionResult matchesGLState(const GLState& expected, const GLState& actual, float tolerance)
{
    std::ostringstream diff;
    auto wanted = [&](GLField f) { return (expected.compared & static_cast<uint32_t>(f)) != 0; };
    auto report = [&](const char* name, const std::string& e, const std::string& a) {
        diff << "\n  " << name << ": expected " << e << ", found " << a;
    };
    auto intField = [&](GLField f, const char* name, GLint e, GLint a) {
        if (wanted(f) && e != a)
            report(name, std::to_string(e), std::to_string(a));
    };
    auto enumField = [&](GLField f, const char* name, GLint e, GLint a) {
        if (wanted(f) && e != a)
            report(name, showEnum(e), showEnum(a));
    };
    auto boolField = [&](GLField f, const char* name, bool e, bool a) {
        if (wanted(f) && e != a)
            report(name, e ? "enabled" : "disabled", a ? "enabled" : "disabled");
    };
    auto floatsField = [&](GLField f, const char* name, const auto& e, const auto& a) {
        if (wanted(f) && !near(e, a, tolerance))
            report(name, showFloats(e), showFloats(a));
    };

    enumField(GLField::Error, "pending GL error", expected.error, actual.error);
    enumField(GLField::MatrixMode, "matrix mode", expected.matrixMode, actual.matrixMode);
    intField(GLField::ProjectionDepth, "projection stack depth", expected.projectionDepth, actual.projectionDepth);
    intField(GLField::ModelviewDepth, "modelview stack depth", expected.modelviewDepth, actual.modelviewDepth);
    intField(GLField::TextureDepth, "texture stack depth", expected.textureDepth, actual.textureDepth);
    floatsField(GLField::Projection, "projection matrix", expected.projection, actual.projection);
    floatsField(GLField::Modelview, "modelview matrix", expected.modelview, actual.modelview);
    floatsField(GLField::TextureMatrix, "texture matrix", expected.textureMatrix, actual.textureMatrix);
    if (wanted(GLField::Viewport) && expected.viewport != actual.viewport) {
        std::array<float, 4> e, a;
        for (int i = 0; i < 4; i++) {
            e[i] = static_cast<float>(expected.viewport[i]);
            a[i] = static_cast<float>(actual.viewport[i]);
        }
        report("viewport", showFloats(e), showFloats(a));
    }
    boolField(GLField::Blend, "GL_BLEND", expected.blend, actual.blend);
    boolField(GLField::DepthTest, "GL_DEPTH_TEST", expected.depthTest, actual.depthTest);
    boolField(GLField::Texture2D, "GL_TEXTURE_2D", expected.texture2D, actual.texture2D);
    enumField(GLField::BlendFunc, "blend source", expected.blendSource, actual.blendSource);
    enumField(GLField::BlendFunc, "blend destination", expected.blendDestination, actual.blendDestination);
    intField(GLField::BoundTexture, "bound 2D texture", expected.boundTexture, actual.boundTexture);
    floatsField(GLField::ClearColor, "clear colour", expected.clearColor, actual.clearColor);
    floatsField(GLField::CurrentColor, "current colour", expected.currentColor, actual.currentColor);
    if (wanted(GLField::LineWidth) && !(std::fabs(expected.lineWidth - actual.lineWidth) <= tolerance))
        report("line width", std::to_string(expected.lineWidth), std::to_string(actual.lineWidth));

    std::string text = diff.str();
    if (text.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "GL state differs:" << text;
}

}  // namespace testsupport
