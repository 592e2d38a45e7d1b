// Test help for the scenes: the Fader and the radial blur replaced by recording subclasses, a frame
// recorded in GL feedback mode (the blur overlay's quads picked out), the flashes of a frame, and
// the one set-up of a scene's test program.
#pragma once
#include "render/fader.h"
#include "render/radial_blur.h"
#include "support/gl_harness.h"
#include "support/gl_state.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>
#include <vector>

// Draws as the Fader does and keeps the alpha of every overlay, and whether the depth test was on.
class RecordingFader : public Fader {
public:
    void render(float t) override
    {
        alphas.push_back(alpha);
        depthTested.push_back(glIsEnabled(GL_DEPTH_TEST) == GL_TRUE);
        Fader::render(t);
    }
    void clear()
    {
        alphas.clear();
        depthTested.clear();
    }
    std::vector<float> alphas;
    std::vector<bool> depthTested;
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

struct FeedbackVertex {
    float x, y;  // window coordinates, after clipping
    float r, g, b, a, s, t;
};

struct FeedbackPolygon {
    std::vector<FeedbackVertex> vertices;
    bool inBlur;
    float alpha() const { return vertices.front().a; }
};

struct FrameFeedback {
    std::vector<FeedbackPolygon> polygons;
    std::vector<std::array<FeedbackVertex, 2>> lines;
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
    recordingFader.clear();
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);

    FrameFeedback frame;
    frame.faderAlphas = recordingFader.alphas;
    EXPECT_GE(used, 0) << "feedback buffer overflowed";
    auto vertex = [&](GLint& i) {
        const GLfloat* f = &buffer[i];
        i += stride;
        return FeedbackVertex{f[0], f[1], f[3], f[4], f[5], f[6], f[7], f[8]};
    };
    bool inBlur = false;
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int n = static_cast<int>(buffer[i++]);
            FeedbackPolygon p{{}, inBlur};
            float minS = 1e9f;
            for (int v = 0; v < n; ++v) {
                p.vertices.push_back(vertex(i));
                minS = std::min(minS, p.vertices.back().s);
            }
            if (inBlur && (frame.blurAlphas.empty() || frame.blurAlphas.back() != p.alpha())) {
                frame.blurAlphas.push_back(p.alpha());
                frame.blurInsets.push_back(minS);
            }
            frame.polygons.push_back(p);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            const FeedbackVertex from = vertex(i);
            frame.lines.push_back({from, vertex(i)});
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

// The frame of a scene at a music position, recorded.
inline FrameFeedback recordScene(Scene& scene, int order, int row, float t)
{
    return recordFrame([&] { testsupport::renderScene(scene, order, row, t); });
}

// The Fader overlays expected of the frame at a music position.
struct Flashes {
    int order, row;
    std::vector<float> alphas;
};

inline void expectFlashes(Scene& scene, const std::vector<Flashes>& cases, float t = 1.0f)
{
    for (const Flashes& c : cases)
        EXPECT_EQ(recordScene(scene, c.order, c.row, t).faderAlphas, c.alphas) << c.order << ":" << c.row;
}

// Registers the test program's one set-up: the scene window, then `setUp` (loads, enter).
class SceneEnvironment : public ::testing::Environment {
public:
    explicit SceneEnvironment(std::function<void()> setUp) : setUp(std::move(setUp)) {}
    void SetUp() override
    {
        ASSERT_TRUE(openSceneWindow());
        setUp();
    }

private:
    std::function<void()> setUp;
};

inline bool addSceneEnvironment(std::function<void()> setUp)
{
    ::testing::AddGlobalTestEnvironment(new SceneEnvironment(std::move(setUp)));
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
