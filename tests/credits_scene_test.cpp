// The credits scene rendered headless, after the demo's whole load sequence: its draws from the
// one random sequence (followed by a replica), the motion step and its wraps, the pictures of the
// schedule (seen through the textures bound in a frame), the jolt, the flicker, the closing mask,
// the flashes and the GL state it leaves.
#include "render/fader.h"
#include "render/radial_blur.h"
#include "scenes/credits_scene.h"
#include "scenes/glyph_blur_scene.h"
#include "scenes/laser_tube_scene.h"
#include "scenes/lattice_scene.h"
#include "scenes/plasma_scene.h"
#include "scenes/ring_scene.h"
#include "scenes/title_scene.h"
#include "support/scene_probes.h"
#include "support/random_replica.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using testsupport::replicaFloat;
using testsupport::replicaValue;

// Every texture bind of the process goes through here while a test listens.
static std::vector<GLuint> bindLog;
static bool logBinds = false;

extern "C" void glBindTexture(GLenum target, GLuint texture)
{
    using Real = void (*)(GLenum, GLuint);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "glBindTexture"));
    if (logBinds)
        bindLog.push_back(texture);
    real(target, texture);
}

namespace {

const char* const pictureNames[15] = {
    "zub03",          "text_laser",        "creditosdeverdad", "creditos_aux", "creditos_staff",
    "creditos_ruvo",  "creditos_pemi",     "creditos_theyhave", "greets_1",     "greets_2",
    "greets_3",       "greets_4",          "allez",            "epileptics",   "fin",
};

CreditsScene* scene = nullptr;
RingScene* ring = nullptr;  // lives to the end, as the demo's scenes do
std::vector<GLuint> pictureIds;  // bound by the scene's load, in loading order
long drawsBeforeCredits = -1;    // random numbers drawn by the whole load sequence

// The nine loads of the demo, in the driver's order (the blur and the Fader, loaded with the
// window, draw nothing).
const bool loaded = addSceneEnvironment([] {
    scene = new CreditsScene;
    TitleScene title;
    GlyphBlurScene glyph;
    ring = new RingScene;  // its emitter reads the clock, so made after the window
    LaserTubeScene laser;
    LatticeScene lattice;
    PlasmaScene plasma;
    title.load();
    glyph.load();
    ring->load();
    laser.load();
    lattice.load();
    logBinds = true;
    scene->load();
    logBinds = false;
    pictureIds = bindLog;
    bindLog.clear();
    plasma.load();
    drawsBeforeCredits = testsupport::probePosition();
    scene->enter();
});

const float q = 3.0518509447574615e-05f;
const float edge = 5.9375f;  // half size plus tile size

bool isJoltRow(int row)
{
    return row == 0 || row == 56 || row == 64 || row == 126;
}

// The scene's motion and jolt, followed step by step on the replica's numbers.
struct Model {
    Vector4 tiles[512];
    float rings[8];
    float ringLimit = 0;
    float lastStep = 0;
    long next = 0;
    bool stepped = false;
    float jx = 0, jy = 0, alpha = 1;
    int forwardWraps = 0, backwardWraps = 0;

    Model()
    {
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j)
                for (int k = 0; k < 8; ++k)
                    tiles[64 * i + 8 * j + k] = {1.25f * i - 5, 1.25f * j - 5, 1.25f * k - 5, 0};
        for (int n = 0; n < 8; ++n)
            rings[n] = 12.5f * n - 50;
    }

    void frame(int order, int row, float t)
    {
        const float f = order < 28 ? 0.025f : order <= 31 ? 0.4f : -0.8f;
        stepped = t - lastStep > 0.025f;
        if (stepped) {
            lastStep = t;
            for (Vector4& p : tiles) {
                p.z = p.z + 0.01f;
                if (p.z > edge)
                    p.z = -edge;
                p.x = p.x + static_cast<float>(replicaValue(next++)) * f * q;
                if (f > 0 && p.x > edge) {
                    p.x = -edge;
                    ++forwardWraps;
                }
                if (f <= 0 && p.x < -4.0625f) {
                    p.x = edge;
                    ++backwardWraps;
                }
            }
            if (ringLimit == 0)
                ringLimit = 100;
            for (float& x : rings) {
                x = x + f;
                if (f > 0 && x > ringLimit)
                    x = -ringLimit;
                if (f <= 0 && x < -ringLimit)
                    x = ringLimit;
            }
        }
        jx = 0.05f * replicaFloat(next++);
        jy = 0.05f * replicaFloat(next++);
        if (isJoltRow(row))
            jy = jy + 0.3f;
        alpha = order == 31 ? row / 128.0f - replicaFloat(next++) : order == 32 ? 1 - row / 128.0f : 1;
    }
};

// The polygons of one frame drawn in feedback mode.
std::vector<FeedbackPolygon> feedbackPolygons(int order, int row, float t)
{
    return recordScene(*scene, order, row, t).polygons;
}

// Window coordinates of a point of the pictures' 4 x 3 box at z = 1, under the frame's frustum.
std::pair<double, double> boxToWindow(double x, double y)
{
    const auto m = testsupport::multiply(testsupport::frustumMatrix(-1, 1, -1, 1, 1, 20),
                                         testsupport::orthoMatrix(-2, 2, -1.5, 1.5, 0.1f, 200));
    const double cx = m[0] * x + m[4] * y + m[8] + m[12];
    const double cy = m[1] * x + m[5] * y + m[9] + m[13];
    const double cw = m[3] * x + m[7] * y + m[11] + m[15];
    return {320 * (cx / cw + 1), 240 * (cy / cw + 1)};
}

// The box point that lands on the window's lower left corner.
std::pair<double, double> windowCornerInBox()
{
    const auto [x1, y1] = boxToWindow(1, 1);
    const auto [x0, y0] = boxToWindow(0, 0);
    return {-x0 / (x1 - x0), -y0 / (y1 - y0)};
}

bool hasVertexAt(const std::vector<FeedbackPolygon>& polygons, double x, double y)
{
    for (const FeedbackPolygon& p : polygons)
        for (const FeedbackVertex& v : p.vertices)
            if (std::fabs(v.x - x) < 0.02 && std::fabs(v.y - y) < 0.02)
                return true;
    return false;
}

// Runs one frame and returns the names of the pictures it bound, tiles and tunnel left out.
std::vector<std::string> picturesOf(int order, int row, float t)
{
    bindLog.clear();
    logBinds = true;
    testsupport::renderScene(*scene, order, row, t);
    logBinds = false;
    std::vector<std::string> names;
    for (GLuint id : bindLog)
        for (size_t k = 2; k < pictureIds.size(); ++k)
            if (id == pictureIds[k])
                names.push_back(pictureNames[k]);
    return names;
}

// A time at which the next frame makes a motion step, and one at which it makes none.
float stepTime()
{
    return creditsLastStepTime() + 1;
}
float stillTime()
{
    return creditsLastStepTime();
}

// A start that a step by `inc` lands exactly on `bound`, and the nearest start beyond it.
std::pair<float, float> aroundBound(float bound, float inc)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float ahead = inc >= 0 ? inf : -inf;
    float x = bound - inc;
    for (int i = 0; i < 16 && x + inc != bound; ++i)
        x = std::nextafter(x, x + inc < bound ? inf : -inf);
    float beyond = std::nextafter(x, ahead);
    for (int i = 0; i < 16 && beyond + inc == bound; ++i) {
        x = beyond;
        beyond = std::nextafter(beyond, ahead);
    }
    return {x, beyond};
}

}  // namespace

// First in the file: it needs the state the loads left, before any frame.
TEST(CreditsScene, TilesAndJoltFollowTheRandomSequenceFromTheFirstFrame)
{
    ASSERT_EQ(creditsLastStepTime(), 0) << "run this test before any other in the process";
    ASSERT_EQ(creditsRingLimit(), 0);
    Model model;
    for (int n = 0; n < 512; ++n) {
        ASSERT_EQ(creditsTileField()[n].x, model.tiles[n].x);
        ASSERT_EQ(creditsTileField()[n].y, model.tiles[n].y);
        ASSERT_EQ(creditsTileField()[n].z, model.tiles[n].z);
    }
    model.next = testsupport::probePosition() + testsupport::probeDraws;
    EXPECT_EQ(model.next, drawsBeforeCredits + 2 * testsupport::probeDraws);

    struct Frame { int order, row; float t; };
    std::vector<Frame> frames = {
        {23, 0, 0}, {23, 1, 0.025f}, {23, 2, 0.026f}, {23, 3, 0.04f}, {23, 56, 0.06f}, {24, 64, 0.1f},
        {24, 126, 0.13f}, {25, 5, 0.2f}, {27, 40, 0.3f}, {28, 64, 0.4f}, {31, 10, 0.5f}, {31, 120, 0.6f},
        {32, 126, 0.7f}, {33, 0, 0.8f}, {38, 127, 0.9f},
    };
    for (int k = 0; k < 60; ++k)
        frames.push_back({29, k, 1 + k / 30.0f});
    for (int k = 0; k < 60; ++k)
        frames.push_back({34, k, 3 + k / 30.0f});

    for (size_t f = 0; f < frames.size(); ++f) {
        const Frame& frame = frames[f];
        model.frame(frame.order, frame.row, frame.t);
        const std::vector<FeedbackPolygon> polygons = feedbackPolygons(frame.order, frame.row, frame.t);
        SCOPED_TRACE("frame " + std::to_string(f) + " at order " + std::to_string(frame.order));
        if (f < 2) {
            EXPECT_FALSE(model.stepped);
            EXPECT_EQ(creditsRingLimit(), 0) << "no step yet";
        } else if (f == 2) {
            EXPECT_TRUE(model.stepped);
            EXPECT_EQ(creditsRingLimit(), 100);
        }
        EXPECT_EQ(creditsLastStepTime(), model.lastStep);
        int wrong = 0;
        for (int n = 0; n < 512; ++n) {
            const Vector4& p = creditsTileField()[n];
            if (p.x != model.tiles[n].x || p.y != model.tiles[n].y || p.z != model.tiles[n].z)
                ++wrong;
        }
        EXPECT_EQ(wrong, 0) << "tiles away from the replica's";
        for (int n = 0; n < 8; ++n)
            EXPECT_EQ(creditsRingX()[n].x, model.rings[n]) << "ring " << n;

        // The small credit pictures lie wholly inside the window: the main one moved against the
        // jolt, the backing one (clipped at the window's sides) with it.
        if (frame.order == 23 || frame.order == 24) {
            for (double x : {-0.88 - model.jx, 0.88 - model.jx})
                for (double y : {-0.44 - model.jy, 0.44 - model.jy}) {
                    const auto [wx, wy] = boxToWindow(x, y);
                    EXPECT_TRUE(hasVertexAt(polygons, wx, wy)) << "main picture corner " << x << ", " << y;
                }
            for (double y : {model.jy - 1.1, model.jy + 1.1})
                EXPECT_TRUE(hasVertexAt(polygons, 0, boxToWindow(0, y).second)) << "backing edge " << y;
        }
    }
    EXPECT_GT(model.forwardWraps, 0);
    EXPECT_GT(model.backwardWraps, 0);
    EXPECT_EQ(testsupport::probePosition(), model.next) << "every number drawn, and no other";
}

TEST(CreditsScene, LoadSequenceDrawsTheSmokeThenTheLatticeLinks)
{
    // The ring scene's smoke draws one number per particle; the lattice's links come next.
    const long smoke = 100;
    EXPECT_EQ(drawsBeforeCredits, smoke + testsupport::replayLatticeLinks(smoke).draws);
}

TEST(CreditsScene, TilesWrapAtTheirExactBounds)
{
    testsupport::renderScene(*scene, 28, 1, stepTime());
    Vector4* tiles = creditsTileField();
    for (float drift : {0.4f, -0.8f}) {
        const int order = drift > 0 ? 28 : 32;
        const long next = testsupport::probePosition() + testsupport::probeDraws;
        auto increment = [&](int n) { return static_cast<float>(replicaValue(next + n)) * drift * q; };
        const float bound = drift > 0 ? edge : -4.0625f;
        tiles[0].x = aroundBound(bound, increment(0)).first;
        tiles[1].x = aroundBound(bound, increment(1)).second;
        tiles[2].x = drift > 0 ? -5.5f : -4.5f;  // backwards, tiles below -4.0625 jump too
        tiles[3].x = drift > 0 ? 4.0f : 7.0f;    // no wrap at the side the drift leaves
        tiles[4].z = aroundBound(edge, 0.01f).first;
        tiles[5].z = aroundBound(edge, 0.01f).second;
        const float x2 = tiles[2].x, x3 = tiles[3].x, y5 = tiles[5].y;

        testsupport::renderScene(*scene, order, 1, stepTime());
        SCOPED_TRACE(drift > 0 ? "drifting forward" : "drifting backward");
        EXPECT_EQ(tiles[0].x, bound) << "on the bound: no wrap";
        EXPECT_EQ(tiles[1].x, drift > 0 ? -edge : edge) << "past the bound";
        if (drift > 0)
            EXPECT_EQ(tiles[2].x, x2 + increment(2));
        else
            EXPECT_EQ(tiles[2].x, edge);
        EXPECT_EQ(tiles[3].x, x3 + increment(3));
        EXPECT_EQ(tiles[4].z, edge);
        EXPECT_EQ(tiles[5].z, -edge);
        EXPECT_EQ(tiles[5].y, y5);
    }
}

TEST(CreditsScene, RingsWrapOneByOneAtTheirLimit)
{
    testsupport::renderScene(*scene, 28, 1, stepTime());
    ASSERT_EQ(creditsRingLimit(), 100);
    Vector4* rings = creditsRingX();
    const auto [forwardOn, forwardBeyond] = aroundBound(100, 0.4f);
    rings[0].x = forwardOn;
    rings[1].x = forwardBeyond;
    rings[2].x = 10;
    testsupport::renderScene(*scene, 29, 1, stepTime());
    EXPECT_EQ(rings[0].x, 100);
    EXPECT_EQ(rings[1].x, -100);
    EXPECT_EQ(rings[2].x, 10 + 0.4f);

    const auto [backwardOn, backwardBeyond] = aroundBound(-100, -0.8f);
    rings[3].x = backwardOn;
    rings[4].x = backwardBeyond;
    rings[5].x = -100;  // would wrap going forward, not going back
    testsupport::renderScene(*scene, 33, 1, stepTime());
    EXPECT_EQ(rings[3].x, -100);
    EXPECT_EQ(rings[4].x, 100);
    EXPECT_EQ(rings[5].x, 100) << "-100.8 is past the limit";
    EXPECT_EQ(rings[0].x, 100 - 0.8f);
    EXPECT_EQ(creditsRingLimit(), 100) << "set once";
}

TEST(CreditsScene, PicturesFollowTheSchedule)
{
    // Named by the load's binds in table order: a picture loaded out of order shows as a wrong name.
    ASSERT_EQ(pictureIds.size(), 15u);
    using Names = std::vector<std::string>;
    struct Case { int order, row; Names pictures; };
    const Case cases[] = {
        {23, 0, {"creditos_aux", "creditos_staff"}},    {23, 63, {"creditos_aux", "creditos_staff"}},
        {23, 64, {"creditos_aux", "creditos_ruvo"}},    {23, 127, {"creditos_aux", "creditos_ruvo"}},
        {24, 63, {"creditos_aux", "creditos_pemi"}},    {24, 64, {"creditos_aux", "creditos_theyhave"}},
        {25, 10, {"creditosdeverdad"}},                 {26, 10, {}},
        {27, 0, {"creditos_aux", "greets_1"}},          {27, 31, {"creditos_aux", "greets_1"}},
        {27, 32, {"creditos_aux", "greets_2"}},         {27, 63, {"creditos_aux", "greets_2"}},
        {27, 64, {"creditos_aux", "greets_3"}},         {27, 95, {"creditos_aux", "greets_3"}},
        {27, 96, {"creditos_aux", "greets_4"}},         {27, 127, {"creditos_aux", "greets_4"}},
        {28, 10, {}}, {29, 10, {}},                     {30, 10, {"epileptics"}},
        {31, 10, {"allez"}},                            {32, 10, {"allez"}},
        {33, 10, {}}, {37, 10, {}},                     {38, 10, {"fin"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(picturesOf(c.order, c.row, stillTime()), c.pictures) << c.order << ":" << c.row;

    // Both fields take the tile picture, then every tunnel segment the wall picture.
    bindLog.clear();
    logBinds = true;
    testsupport::renderScene(*scene, 26, 3, stillTime());
    logBinds = false;
    std::vector<GLuint> expected(2, pictureIds[0]);
    expected.insert(expected.end(), 7, pictureIds[1]);
    EXPECT_EQ(bindLog, expected);
}

TEST(CreditsScene, OrderThirtyOneFlickersInOrderThirtyTwoFadesOut)
{
    int hidden = 0, shown = 0;
    for (int row = 0; row < 128; row += 4) {
        const long next = testsupport::probePosition() + testsupport::probeDraws;
        const float alpha = row / 128.0f - replicaFloat(next + 2);
        const std::vector<FeedbackPolygon> polygons = feedbackPolygons(31, row, stillTime());
        ASSERT_FALSE(polygons.empty());
        const float drawn = polygons.back().alpha();  // the main picture comes last
        EXPECT_NEAR(drawn, std::max(alpha, 0.0f), 1e-6) << "row " << row;
        (alpha < 0 ? hidden : shown)++;
    }
    EXPECT_GT(hidden, 0) << "no frame with a negative alpha";
    EXPECT_GT(shown, 0);
    for (int row : {1, 63, 127}) {  // odd rows: no flash after the picture
        const std::vector<FeedbackPolygon> polygons = feedbackPolygons(32, row, stillTime());
        ASSERT_FALSE(polygons.empty());
        EXPECT_FLOAT_EQ(polygons.back().alpha(), 1 - row / 128.0f) << "row " << row;
    }
}

TEST(CreditsScene, FinMaskShrinksOverOrderThirtyEight)
{
    const auto [cornerX, cornerY] = windowCornerInBox();
    for (int row : {0, 127}) {
        const std::vector<FeedbackPolygon> polygons = feedbackPolygons(38, row, stillTime());
        const float progress = 2 * row / 128.0f;
        EXPECT_EQ(creditsFinProgress(), progress);
        const double k = 3 - progress;
        // The black mask covers the whole window; its texture at the window's corner tells its size.
        bool found = false;
        for (const FeedbackPolygon& p : polygons)
            for (const FeedbackVertex& v : p.vertices)
                if (v.r == 0 && v.g == 0 && v.b == 0 && v.a == 1 && v.x < 0.01f && v.y < 0.01f) {
                    found = true;
                    EXPECT_NEAR(v.s, (cornerX + 2 * k) / (4 * k), 1e-4) << "row " << row;
                    EXPECT_NEAR(v.t, (cornerY + 2 * k) / (4 * k), 1e-4) << "row " << row;
                }
        EXPECT_TRUE(found) << "no mask at the window's corner, row " << row;
    }
    // With no destination alpha GL_DST_ALPHA reads 1, and the frame is multiplied by the mask's
    // alpha: at the end only a round window in the middle is left of it.
    testsupport::renderScene(*scene, 38, 127, stillTime());
    EXPECT_EQ(testsupport::readPixel(2, 2), (testsupport::Rgb{0, 0, 0}));
    EXPECT_FALSE(testsupport::readPixel(320, 240) == (testsupport::Rgb{0, 0, 0}));
}

TEST(CreditsScene, FlashesKeepTheFadersColourUntilOrderThirtyTwo)
{
    fader->setColor(0.2f, 0.4f, 0.6f, 0.7f);
    const std::vector<Flashes> inherited = {
        {23, 0, {0.7f}}, {23, 56, {0.7f}}, {23, 64, {0.7f}}, {23, 126, {0.7f}}, {24, 0, {0.7f}}, {25, 126, {0.7f}},
        {23, 1, {}}, {23, 8, {}}, {25, 57, {}}, {26, 0, {}}, {27, 64, {}}, {31, 0, {}},
    };
    for (const Flashes& c : inherited) {
        const FrameFeedback frame = recordScene(*scene, c.order, c.row, stillTime());
        EXPECT_EQ(frame.faderAlphas, c.alphas) << c.order << ":" << c.row;
        if (!c.alphas.empty()) {
            const FeedbackVertex& v = frame.polygons.back().vertices.front();
            EXPECT_NEAR(v.r, 0.2f, 1e-6);
            EXPECT_NEAR(v.g, 0.4f, 1e-6);
            EXPECT_NEAR(v.b, 0.6f, 1e-6);
        }
    }
    EXPECT_EQ(fader->red, 0.2f);
    EXPECT_EQ(fader->alpha, 0.7f);

    expectFlashes(*scene, {{32, 0, {0.3f}}, {32, 1, {}}, {33, 2, {0.3f}}, {36, 125, {}}, {38, 126, {0.3f}}, {38, 127, {}}},
                  stillTime());
    EXPECT_EQ(fader->red, 1);
    EXPECT_EQ(fader->green, 1);
    EXPECT_EQ(fader->blue, 1);
    EXPECT_EQ(fader->alpha, 0.3f);
}

TEST(CreditsScene, LeavesTheStateItPromises)
{
    using testsupport::GLField;
    testsupport::enterSmoothPointScene(*scene);

    testsupport::GLState expected = testsupport::frameStartState();
    expected.depthTest = true;
    expected.clearColor = {0.51f, 0.01f, 0.51f, 0};
    expected.lineWidth = 1;
    expected.ignore(GLField::BoundTexture);
    expected.ignore(GLField::CurrentColor);
    struct Case { int order, row; };
    for (Case c : {Case{23, 0}, Case{25, 3}, Case{27, 40}, Case{31, 7}, Case{32, 126}, Case{38, 0}}) {
        testsupport::renderScene(*scene, c.order, c.row, stepTime());
        EXPECT_TRUE(testsupport::matchesGLState(expected, testsupport::captureGLState())) << c.order << ":" << c.row;
    }
    // On an odd row of order 38 no flash follows the mask, whose blend function stays.
    testsupport::renderScene(*scene, 38, 127, stepTime());
    testsupport::GLState masked = expected;
    masked.blendSource = GL_DST_ALPHA;
    masked.blendDestination = GL_SRC_ALPHA;
    EXPECT_TRUE(testsupport::matchesGLState(masked, testsupport::captureGLState()));

    glDisable(GL_DEPTH_TEST);
    scene->leave();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}
