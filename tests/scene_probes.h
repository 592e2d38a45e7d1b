// Test help for the blurred scenes: the Fader and the radial blur replaced by recording subclasses,
// and a frame recorded in GL feedback mode with the blur overlay's quads picked out.
#pragma once
#include "render/fader.h"
#include "render/radial_blur.h"
#include "shell/driver.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

// Draws as the Fader does and keeps the alpha of every overlay of the frame.
class RecordingFader : public Fader {
public:
    void render(float t) override
    {
        alphas.push_back(alpha);
        Fader::render(t);
    }
    std::vector<float> alphas;
};

// Draws as the radial blur does (its settings are the module's, shared by every instance) and
// brackets its overlay with feedback markers.
constexpr GLfloat blurBegins = 1, blurEnds = 2;
class MarkedRadialBlur : public RadialBlur {
public:
    void render(float t) override
    {
        glPassThrough(blurBegins);
        RadialBlur::render(t);
        glPassThrough(blurEnds);
    }
};

inline RecordingFader recordingFader;
inline MarkedRadialBlur markedBlur;

// Opens the offscreen window, leaves the state the loading bar leaves for the first frame and
// loads the two tools in place of the driver's.
inline bool openSceneWindow()
{
    if (!glWindow->create("test", 640, 480, 32, false))
        return false;
    drawLoadingBar(100);
    fader = &recordingFader;
    radialBlur = &markedBlur;
    radialBlur->load();
    fader->load();
    return true;
}

struct FeedbackPolygon {
    std::vector<std::array<float, 2>> points;  // window coordinates, after clipping
    float alpha;                               // of the first vertex
    float minS;                                // smallest texture s of its vertices
    bool inBlur;
};

struct FrameFeedback {
    std::vector<FeedbackPolygon> polygons;
    std::vector<float> blurAlphas;   // one per overlay quad, in drawing order
    std::vector<float> blurInsets;   // the texture inset of each overlay quad
    std::vector<float> faderAlphas;  // one per Fader overlay, in drawing order
};

// Runs draw in feedback mode: nothing reaches the frame buffer, every primitive is reported.
// The implementation may split quads into triangles, so overlay quads are told apart by alpha.
inline FrameFeedback recordFrame(const std::function<void()>& draw)
{
    static std::vector<GLfloat> buffer(1 << 23);
    const int stride = 11;  // x, y, z, r, g, b, a, s, t, r, q
    recordingFader.alphas.clear();
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);

    FrameFeedback frame;
    frame.faderAlphas = recordingFader.alphas;
    EXPECT_GE(used, 0) << "feedback buffer overflowed";
    bool inBlur = false;
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int n = static_cast<int>(buffer[i++]);
            FeedbackPolygon p{{}, buffer[i + 6], 1e9f, inBlur};
            for (int v = 0; v < n; ++v, i += stride) {
                p.points.push_back({buffer[i], buffer[i + 1]});
                p.minS = std::min(p.minS, buffer[i + 7]);
            }
            if (inBlur && (frame.blurAlphas.empty() || frame.blurAlphas.back() != p.alpha)) {
                frame.blurAlphas.push_back(p.alpha);
                frame.blurInsets.push_back(p.minS);
            }
            frame.polygons.push_back(p);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 2 * stride;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            i += stride;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            inBlur = buffer[i++] == blurBegins;
        } else {
            ADD_FAILURE() << "unknown feedback token " << token;
            break;
        }
    }
    return frame;
}

// Reads the whole window back and tells whether every pixel has this colour (within one step).
inline bool windowIsUniform(int red, int green, int blue)
{
    const int w = glWindow->width(), h = glWindow->height();
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    for (size_t i = 0; i < pixels.size(); i += 4)
        if (std::abs(pixels[i] - red) > 1 || std::abs(pixels[i + 1] - green) > 1 || std::abs(pixels[i + 2] - blue) > 1)
            return false;
    return true;
}

// The state every frame starts with: the loading bar's frustum, an identity modelview selected,
// both stacks at depth 1, the full viewport, texturing off; the depth test and blending as given.
inline void expectFrameStartState(const char* when, bool depthTest, bool blend)
{
    SCOPED_TRACE(when);
    GLint mode = 0, projectionDepth = 0, modelviewDepth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelviewDepth);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(projectionDepth, 1);
    EXPECT_EQ(modelviewDepth, 1);
    GLfloat projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    // glFrustum(-1, 1, -1, 1, 1, 20), column-major.
    const GLfloat frustum[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -21.0f / 19, -1, 0, 0, -40.0f / 19, 0};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(projection[i], frustum[i], 1e-5) << "projection " << i;
        EXPECT_NEAR(modelview[i], i % 5 == 0 ? 1 : 0, 1e-6) << "modelview " << i;
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), depthTest ? GL_TRUE : GL_FALSE);
    EXPECT_EQ(glIsEnabled(GL_BLEND), blend ? GL_TRUE : GL_FALSE);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
