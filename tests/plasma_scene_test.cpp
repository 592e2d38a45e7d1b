// The plasma scene rendered headless: the colours each frame draws, the one beat kick, the edge
// vertices that never change, the white fades and the Fader colour they leave, the GL state.
#include "render/fader.h"
#include "scenes/plasma_scene.h"
#include "support/scene_probes.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

PlasmaScene scene;
const bool loaded = addSceneEnvironment([] {
    scene.load();
    scene.enter();
});

using Grid = std::vector<PlasmaColor>;  // [32 i + j]

Grid colours()
{
    Grid grid;
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 32; ++j)
            grid.push_back(plasmaColor(i, j));
    return grid;
}

float widthScale(float t)
{
    return 0.5f * (std::cos(0.2f * t) + std::sin(0.1f * t)) + 1.5f;
}

float heightScale(float t)
{
    return 0.5f * std::cos(0.1f * t) + 1.5f;
}

// Window position of grid vertex (i, j) at time t: the breathing scale inside the 9 x 9 box that
// is multiplied onto the frame's frustum, the vertex at z = 3.
std::array<float, 2> windowPosition(int i, int j, float t)
{
    const auto projection = testsupport::multiply(testsupport::frustumMatrix(-1, 1, -1, 1, 1, 20),
                                                  testsupport::orthoMatrix(-4.5, 4.5, -4.5, 4.5, 0.1f, 200));
    const float eye[4] = {widthScale(t) * (0.3125f * i - 5), heightScale(t) * (0.3125f * j - 5), 3, 1};
    float clip[4] = {};
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            clip[r] += projection[k * 4 + r] * eye[k];
    return {(clip[0] / clip[3] + 1) * 320, (clip[1] / clip[3] + 1) * 240};
}

struct DrawnVertex {
    int i, j;
    float r, g, b, a;
};

// Renders one frame in feedback mode and names the grid vertex behind every reported vertex that
// is not a clipping point on the window's border.
std::vector<DrawnVertex> drawnVertices(int order, int row, float t)
{
    const FrameFeedback frame = recordScene(scene, order, row, t);
    EXPECT_TRUE(frame.lines.empty());
    std::vector<std::array<float, 2>> positions;
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 32; ++j)
            positions.push_back(windowPosition(i, j, t));
    std::vector<DrawnVertex> drawn;
    for (const FeedbackPolygon& polygon : frame.polygons)
        for (const FeedbackVertex& v : polygon.vertices) {
            if (v.x < 0.5f || v.x > 639.5f || v.y < 0.5f || v.y > 479.5f)
                continue;
            for (size_t p = 0; p < positions.size(); ++p)
                if (std::fabs(positions[p][0] - v.x) < 0.05f && std::fabs(positions[p][1] - v.y) < 0.05f) {
                    drawn.push_back({static_cast<int>(p / 32), static_cast<int>(p % 32), v.r, v.g, v.b, v.a});
                    break;
                }
        }
    return drawn;
}

float clamp01(float v)
{
    return std::min(1.0f, std::max(0.0f, v));
}

// Every drawn vertex shows the colour its grid entry had, clamped, and opaque.
void expectDrawnWith(const std::vector<DrawnVertex>& drawn, const Grid& grid, const char* what)
{
    ASSERT_GT(drawn.size(), 100u) << what;
    for (const DrawnVertex& v : drawn) {
        const PlasmaColor& c = grid[32 * v.i + v.j];
        EXPECT_NEAR(v.r, clamp01(c.r), 1e-4) << what << " (" << v.i << ", " << v.j << ")";
        EXPECT_NEAR(v.g, clamp01(c.g), 1e-4) << what << " (" << v.i << ", " << v.j << ")";
        EXPECT_NEAR(v.b, clamp01(c.b), 1e-4) << what << " (" << v.i << ", " << v.j << ")";
        EXPECT_EQ(v.a, 1.0f);
    }
}

PlasmaColor loadColour(int i, int j)
{
    const float x = 0.3125f * i - 5, y = 0.3125f * j - 5;
    return {0.5f * std::sin(x) + 1, 0.5f, 0.5f * std::sin(y) + 1, 0};
}

}  // namespace

// First in the file: it needs the grid as load left it and no beat row rendered yet.
TEST(PlasmaScene, DrawsEachFrameWithItsStartingColoursAndTheFirstBeatRowFixesTheKick)
{
    ASSERT_EQ(plasmaBeatKick(), 0) << "run this test before any other in the process";
    const Grid loaded = colours();
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 32; ++j) {
            EXPECT_FLOAT_EQ(loaded[32 * i + j].r, loadColour(i, j).r);
            EXPECT_FLOAT_EQ(loaded[32 * i + j].g, 0.5f);
            EXPECT_FLOAT_EQ(loaded[32 * i + j].b, loadColour(i, j).b);
            EXPECT_FLOAT_EQ(plasmaPoint(i, j).z, 0.5f);
        }

    expectDrawnWith(drawnVertices(21, 20, 0), loaded, "first frame");
    const Grid afterFirst = colours();
    int changed = 0;
    for (size_t k = 0; k < loaded.size(); ++k)
        changed += loaded[k].g != afterFirst[k].g;
    EXPECT_GT(changed, 800) << "the first frame's update changes the animated vertices";
    expectDrawnWith(drawnVertices(21, 21, 0.5f), afterFirst, "second frame");
    EXPECT_EQ(plasmaBeatKick(), 0);

    testsupport::renderScene(scene, 21, 24, 0.6f);
    EXPECT_EQ(plasmaBeatKick(), -255);
    for (int row : {25, 32, 33, 127})
        testsupport::renderScene(scene, 22, row, 0.7f);
    EXPECT_EQ(plasmaBeatKick(), -255);

    // From then on the colour time is 2t + sin(-255); check one vertex's update against it.
    const float t = 1.25f;
    const Vector4 p = plasmaPoint(5, 7);
    testsupport::renderScene(scene, 22, 40, t);
    const float T = 2 * t + std::sin(-255.0f);
    const float l = p.z + p.x, r = p.z + p.y;
    const float r1 = 0.5f * (std::sin(5 * T + l) + std::sin(l + T)) + 0.7f;
    const float b1 = 0.5f * (std::sin(0.5f * T + r) + std::sin(1.7f * T + r)) + r1 + 0.7f;
    const float g = std::sin(T) + 2;
    EXPECT_NEAR(plasmaColor(5, 7).r, g, 1e-5);
    EXPECT_NEAR(plasmaColor(5, 7).g, std::fmod(g + r1, std::cos(T) + 1.1f), 1e-4);
    EXPECT_NEAR(plasmaColor(5, 7).b, std::fmod(g + b1, std::sin(T) + 1.1f), 1e-4);
    EXPECT_NEAR(plasmaPoint(5, 7).z, 10 * (std::sin(0.1f * T) + std::cos(0.5f * T)), 1e-4);
}

TEST(PlasmaScene, TheLastRowAndColumnKeepTheirLoadColoursAndTheFirstAreNeverDrawn)
{
    // A time at which the grid is narrow enough for column 0 to lie inside the box.
    float narrow = 0;
    for (float t = 0; t < 200 && narrow == 0; t += 0.05f)
        if (widthScale(t) < 0.6f)
            narrow = t;
    ASSERT_GT(narrow, 0);

    bool sawLastColumn = false;
    for (float t : {2.0f, 7.5f, narrow}) {
        const std::vector<DrawnVertex> drawn = drawnVertices(22, 60, t);
        for (const DrawnVertex& v : drawn) {
            EXPECT_NE(v.i, 0);
            EXPECT_NE(v.j, 0);
            sawLastColumn |= v.i == 31;
        }
        for (int n = 0; n < 32; ++n)
            for (auto [i, j] : {std::pair{31, n}, std::pair{n, 31}, std::pair{0, n}, std::pair{n, 0}}) {
                EXPECT_FLOAT_EQ(plasmaColor(i, j).r, loadColour(i, j).r) << i << ", " << j;
                EXPECT_FLOAT_EQ(plasmaColor(i, j).g, 0.5f) << i << ", " << j;
                EXPECT_FLOAT_EQ(plasmaColor(i, j).b, loadColour(i, j).b) << i << ", " << j;
                EXPECT_FLOAT_EQ(plasmaPoint(i, j).z, 0.5f) << i << ", " << j;
            }
    }
    EXPECT_TRUE(sawLastColumn) << "column 31 is drawn as the far side of the last quads";

    // Narrower than the box: the black background shows at both sides.
    testsupport::renderScene(scene, 22, 60, narrow);
    EXPECT_EQ(testsupport::readPixel(3, 240), (testsupport::Rgb{0, 0, 0}));
    EXPECT_EQ(testsupport::readPixel(636, 240), (testsupport::Rgb{0, 0, 0}));
    EXPECT_FALSE(testsupport::readPixel(320, 240) == (testsupport::Rgb{0, 0, 0}));
}

TEST(PlasmaScene, FadesFromAndToWhiteAndLeavesTheFaderWithTheLastColour)
{
    expectFlashes(scene, {{21, 0, {1}}, {21, 8, {0.5f}}, {21, 16, {0}}, {21, 17, {}}, {21, 111, {}}, {21, 112, {0}},
                          {21, 120, {0.5f}}, {21, 127, {0.9375f}}}, 3.0f);
    // The last fade drawn was row 127's; rows without a fade leave the colour alone.
    testsupport::renderScene(scene, 22, 60, 3.1f);
    EXPECT_EQ(recordingFader.red, 1);
    EXPECT_EQ(recordingFader.green, 1);
    EXPECT_EQ(recordingFader.blue, 1);
    EXPECT_EQ(recordingFader.alpha, 0.9375f);

    testsupport::renderScene(scene, 21, 0, 3.2f);
    EXPECT_TRUE(testsupport::wholeFrameIs({255, 255, 255})) << "row 0 is opaque white";
}

TEST(PlasmaScene, LeavesTheStateItPromises)
{
    using testsupport::GLField;
    const testsupport::GLState entered = testsupport::enterSmoothPointScene(scene);

    // Between the fades the frame ends with the projection matrix selected, the depth test as
    // enter left it.
    testsupport::renderScene(scene, 22, 60, 4.0f);
    testsupport::GLState between = entered;
    between.matrixMode = GL_PROJECTION;
    between.ignore(GLField::CurrentColor);
    EXPECT_TRUE(testsupport::matchesGLState(between, testsupport::captureGLState()));

    // A fade turns the depth test on after it and leaves the modelview selected.
    testsupport::renderScene(scene, 22, 120, 4.1f);
    testsupport::GLState faded = entered;
    faded.depthTest = true;
    faded.ignore(GLField::CurrentColor);
    EXPECT_TRUE(testsupport::matchesGLState(faded, testsupport::captureGLState()));

    glDisable(GL_DEPTH_TEST);
    scene.leave();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
