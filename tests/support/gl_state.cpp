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

// An enum-valued field, shown by its GL name.
struct Enum {
    GLint value;
};

bool same(GLint e, GLint a, float) { return e == a; }
bool same(Enum e, Enum a, float) { return e.value == a.value; }
bool same(bool e, bool a, float) { return e == a; }
bool same(float e, float a, float tolerance) { return std::fabs(e - a) <= tolerance; }
template <typename T, size_t N>
bool same(const std::array<T, N>& e, const std::array<T, N>& a, float tolerance)
{
    for (size_t i = 0; i < N; i++)
        if (!same(e[i], a[i], tolerance))
            return false;
    return true;
}

std::string show(GLint value) { return std::to_string(value); }
std::string show(bool value) { return value ? "enabled" : "disabled"; }
std::string show(Enum value)
{
    std::ostringstream out;
    if (const char* name = enumName(value.value))
        out << name;
    else
        out << "0x" << std::hex << value.value;
    return out.str();
}
std::string show(float value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}
template <typename T, size_t N>
std::string show(const std::array<T, N>& values)
{
    std::string text = "(";
    for (size_t i = 0; i < N; i++)
        text += (i ? ", " : "") + show(values[i]);
    return text + ")";
}

}  // namespace

::testing::AssertionResult matchesGLState(const GLState& e, const GLState& a, float tolerance)
{
    std::ostringstream diff;
    auto check = [&](GLField field, const char* name, const auto& expected, const auto& actual) {
        if ((e.compared & static_cast<uint32_t>(field)) != 0 && !same(expected, actual, tolerance))
            diff << "\n  " << name << ": expected " << show(expected) << ", found " << show(actual);
    };
    check(GLField::Error, "pending GL error", Enum{static_cast<GLint>(e.error)}, Enum{static_cast<GLint>(a.error)});
    check(GLField::MatrixMode, "matrix mode", Enum{e.matrixMode}, Enum{a.matrixMode});
    check(GLField::ProjectionDepth, "projection stack depth", e.projectionDepth, a.projectionDepth);
    check(GLField::ModelviewDepth, "modelview stack depth", e.modelviewDepth, a.modelviewDepth);
    check(GLField::TextureDepth, "texture stack depth", e.textureDepth, a.textureDepth);
    check(GLField::Projection, "projection matrix", e.projection, a.projection);
    check(GLField::Modelview, "modelview matrix", e.modelview, a.modelview);
    check(GLField::TextureMatrix, "texture matrix", e.textureMatrix, a.textureMatrix);
    check(GLField::Viewport, "viewport", e.viewport, a.viewport);
    check(GLField::Blend, "GL_BLEND", e.blend, a.blend);
    check(GLField::DepthTest, "GL_DEPTH_TEST", e.depthTest, a.depthTest);
    check(GLField::Texture2D, "GL_TEXTURE_2D", e.texture2D, a.texture2D);
    check(GLField::BlendFunc, "blend source", Enum{e.blendSource}, Enum{a.blendSource});
    check(GLField::BlendFunc, "blend destination", Enum{e.blendDestination}, Enum{a.blendDestination});
    check(GLField::BoundTexture, "bound 2D texture", e.boundTexture, a.boundTexture);
    check(GLField::ClearColor, "clear colour", e.clearColor, a.clearColor);
    check(GLField::CurrentColor, "current colour", e.currentColor, a.currentColor);
    check(GLField::LineWidth, "line width", e.lineWidth, a.lineWidth);

    const std::string text = diff.str();
    if (text.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "GL state differs:" << text;
}

}  // namespace testsupport
