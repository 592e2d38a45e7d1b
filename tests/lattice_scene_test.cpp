// The lattice scene headless: its load's draws from the random sequence and the links they make,
// the growth ticks, what it draws with, and the GL state it leaves.
#include "scenes/lattice_scene.h"
#include "support/gl_harness.h"
#include "support/gl_state.h"
#include "support/random_replica.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

LatticeScene scene;
long drawsBeforeLoad = -1;
long drawsAfterLoad = -1;

// Every test process loads the scene once, between two probes of the random sequence.
class LatticeEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(testsupport::openTestWindow());
        testsupport::enterFrameStart();
        drawsBeforeLoad = testsupport::probePosition();
        scene.load();
        drawsAfterLoad = testsupport::probePosition();
    }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new LatticeEnvironment);

int indexOf(const LatticeNode* node)
{
    return node ? static_cast<int>(node - &latticeNode(0)) : -1;
}

}  // namespace

TEST(LatticeScene, LoadDrawsWholePassesUntilEightyLinksAreMade)
{
    const long before = drawsBeforeLoad, after = drawsAfterLoad;
    ASSERT_GE(before, 0);
    ASSERT_GE(after, 0);

    // The links as the replica of the sequence makes them, pass by pass.
    const testsupport::LatticeLinks replica = testsupport::replayLatticeLinks(before + testsupport::probeDraws);
    EXPECT_EQ(after - before - testsupport::probeDraws, replica.draws) << "whole passes of one draw per node";
    EXPECT_EQ(latticeLinkCount(), replica.links);
    EXPECT_GE(latticeLinkCount(), 80);

    int edgeNodesKeepingTheirLink = 0;
    for (int node = 0; node < 80; ++node) {
        const LatticeNode& v = latticeNode(node);
        EXPECT_EQ(indexOf(v.link), replica.link[node]) << "node " << node;
        EXPECT_EQ(v.cell[0], node / 16);
        EXPECT_EQ(v.cell[1], node / 4 % 4);
        EXPECT_EQ(v.cell[2], node % 4);
        EXPECT_FLOAT_EQ(v.position.x, v.cell[0] - 2.5f);
        EXPECT_FLOAT_EQ(v.position.y, 1.25f * v.cell[1] - 2.5f);
        EXPECT_FLOAT_EQ(v.position.z, 1.25f * v.cell[2] - 2.5f);
        EXPECT_EQ(v.growth, 0);
        // A last draw that leads outside keeps the earlier pass's link, or none.
        if (replica.lastDrawLeftTheLattice[node]) {
            EXPECT_EQ(indexOf(v.link), replica.linkBeforeLastPass[node]) << "node " << node;
            ++edgeNodesKeepingTheirLink;
        }
    }
    EXPECT_GT(edgeNodesKeepingTheirLink, 0);

    EXPECT_TRUE(testsupport::cameraIs(latticeSceneCamera(), {3, 3, 3, 0, 0, 0.8f, 100, 1, 1000, 1.3f}));
}

TEST(LatticeScene, GrowsOnTicksAfterATenthOfASecondAndStopsAtSix)
{
    scene.enter();
    auto expectGrowth = [](int grown, const char* what) {
        for (int node = 0; node < 80; ++node)
            EXPECT_EQ(latticeNode(node).growth, latticeNode(node).link ? grown : 0) << what << ", node " << node;
    };
    scene.render(0);
    expectGrowth(0, "t = 0 is no tick");
    scene.render(0.1f);
    expectGrowth(0, "0.1 s is not more than 0.1 s");
    scene.render(0.15f);
    expectGrowth(1, "first tick");
    EXPECT_EQ(latticeLastGrowTime(), 0.15f);
    scene.render(0.2f);
    expectGrowth(1, "0.05 s after a tick");
    float t = 0.26f;
    for (int tick = 2; tick <= 6; ++tick, t += 0.2f) {
        scene.render(t);
        expectGrowth(tick, "slow frames tick every time");
    }
    for (int frame = 0; frame < 5; ++frame, t += 0.2f)
        scene.render(t);
    expectGrowth(6, "growth stops at 6");
}

TEST(LatticeScene, DrawsOnRedInTheCurrentColour)
{
    scene.enter();
    glColor3f(0, 1, 0);
    scene.render(3.0f);
    EXPECT_EQ(testsupport::readPixel(0, 0), (testsupport::Rgb{255, 0, 0}));
    EXPECT_EQ(testsupport::readPixel(639, 479), (testsupport::Rgb{255, 0, 0}));
    const std::vector<uint8_t> frame = testsupport::readFrameBuffer();
    int green = 0;
    for (size_t p = 0; p < frame.size(); p += 3)
        green += frame[p] == 0 && frame[p + 1] == 255 && frame[p + 2] == 0;
    EXPECT_GT(green, 80 * 4) << "the points and lines are drawn in the current colour";
}

TEST(LatticeScene, LeavesTheStateItPromises)
{
    using testsupport::GLField;
    const testsupport::GLState entered = testsupport::enterSmoothPointScene(scene);

    // The frame ends with the projection matrix selected and the red clear colour kept.
    scene.render(5.0f);
    testsupport::GLState rendered = entered;
    rendered.matrixMode = GL_PROJECTION;
    rendered.clearColor = {1, 0, 0, 0};
    EXPECT_TRUE(testsupport::matchesGLState(rendered, testsupport::captureGLState()));

    scene.leave();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    scene.unload();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
