// Test help for the blurred scenes: the Fader and the radial blur replaced by recording subclasses,
// and a frame recorded in GL feedback mode with the blur overlay's quads picked out.
#pragma once
#include "render/fader.h"
#include "render/radial_blur.h"
#include "shell/glwindow.h"
#include "support/gl_harness.h"
#include "support/gl_state.h"

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

// Opens the offscreen window, puts it into the state every frame starts from, and loads the two
// tools in place of the driver's.
inline bool openSceneWindow()
{
    if (!testsupport::openTestWindow())
        return false;
    testsupport::enterFrameStart();
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

// What a blurred scene leaves after a frame: the frame-start matrices and viewport, texturing and
// blending off, the depth test on, the blend function its last blended layer set, and the blur's
// clear colour for the next frame's first clear. The bound texture and the colour are its own.
inline testsupport::GLState stateAfterBlurredFrame(float lineWidth)
{
    testsupport::GLState expected = testsupport::frameStartState();
    expected.depthTest = true;
    expected.clearColor = {0.7f, 0, 0.7f, 0.2f};
    expected.lineWidth = lineWidth;
    expected.ignore(testsupport::GLField::BoundTexture);
    expected.ignore(testsupport::GLField::CurrentColor);
    return expected;
}
