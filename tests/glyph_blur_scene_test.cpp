// The glyph blur scene rendered headless: its fades and flashes, the blur passes it hands from one
// frame to the next, the beat bounce, and the GL state it leaves.
#include "render/fader.h"
#include "render/radial_blur.h"
#include "scenes/glyph_blur_scene.h"
#include "support/scene_probes.h"

#include <gtest/gtest.h>

namespace {

GlyphBlurScene scene;

class GlyphBlurEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(openSceneWindow());
        scene.load();
        scene.enter();
    }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new GlyphBlurEnvironment);

FrameFeedback renderAt(int order, int row, float t = 1.0f)
{
    return recordFrame([&] {
        scene.setMusicPosition(order, row);
        scene.render(t);
    });
}

}  // namespace

TEST(GlyphBlurScene, FadesFromWhiteOverTheFirstRowsOfOrderFive)
{
    // Row 0: the last thing drawn is an opaque white quad over the whole window.
    scene.setMusicPosition(5, 0);
    scene.render(0.5f);
    EXPECT_TRUE(windowIsUniform(255, 255, 255));

    struct Case { int row; float alpha; };
    for (Case c : {Case{0, 1}, Case{8, 0.5f}, Case{16, 0}, Case{4, 0.75f}}) {
        FrameFeedback frame = renderAt(5, c.row);
        ASSERT_EQ(frame.faderAlphas.size(), 1u) << "row " << c.row;
        EXPECT_FLOAT_EQ(frame.faderAlphas[0], c.alpha) << "row " << c.row;
    }
    // Past row 16 of order 5 only the beat rows flash.
    EXPECT_TRUE(renderAt(5, 17).faderAlphas.empty());
    EXPECT_TRUE(renderAt(5, 63).faderAlphas.empty());
}

TEST(GlyphBlurScene, FadesToWhiteAtTheEndOfOrderSixByTheFadeRuleNotTheFlash)
{
    struct Case { int order, row; float alpha; };
    const Case cases[] = {
        {6, 112, 0}, {6, 120, 0.5f}, {6, 127, 15 / 16.0f}, {6, 113, 1 / 16.0f},
        // The same rows in the other order, and the first rows of order 6, only flash.
        {5, 112, 0.15f}, {5, 120, 0.15f}, {6, 0, 0.15f}, {6, 8, 0.15f}, {6, 16, 0.15f}, {6, 64, 0.15f},
    };
    for (const Case& c : cases) {
        FrameFeedback frame = renderAt(c.order, c.row);
        ASSERT_EQ(frame.faderAlphas.size(), 1u) << c.order << ":" << c.row;
        EXPECT_FLOAT_EQ(frame.faderAlphas[0], c.alpha) << c.order << ":" << c.row;
        EXPECT_FLOAT_EQ(fader->alpha, c.alpha);
    }
    EXPECT_TRUE(renderAt(5, 111).faderAlphas.empty());
    EXPECT_TRUE(renderAt(6, 100).faderAlphas.empty());
}

TEST(GlyphBlurScene, BlurPassesComeFromThePreviousFrameAndTenAfterEnter)
{
    for (int row : {8, 9}) {
        scene.enter();
        FrameFeedback first = renderAt(6, row);
        EXPECT_EQ(first.blurAlphas.size(), 10u) << "first frame on row " << row;
    }
    scene.enter();
    EXPECT_EQ(renderAt(6, 24).blurAlphas.size(), 10u);
    FrameFeedback second = renderAt(6, 24);
    EXPECT_EQ(renderAt(6, 25).blurAlphas.size(), 12u);
    EXPECT_EQ(renderAt(6, 25).blurAlphas.size(), 10u);

    // The stack fades from the blur's clear-colour alpha down to a twelfth of it.
    ASSERT_EQ(second.blurAlphas.size(), 12u);
    for (size_t k = 0; k < 12; ++k)
        EXPECT_NEAR(second.blurAlphas[k], 0.2f * (1 - k / 12.0f), 1e-5) << k;
    // Each quad shows the texture inset by another 0.02 on every side.
    ASSERT_EQ(second.blurInsets.size(), 12u);
    for (size_t k = 0; k < 12; ++k)
        EXPECT_NEAR(second.blurInsets[k], 0.02f * k, 1e-5) << k;
}

TEST(GlyphBlurScene, BounceHoldsThroughABeatRowAndDecaysAfter)
{
    for (int frame = 0; frame < 4; ++frame) {
        renderAt(6, 40);
        EXPECT_FLOAT_EQ(glyphBlurBounce(), 0.1f) << "frame " << frame;
    }
    renderAt(6, 41);
    EXPECT_FLOAT_EQ(glyphBlurBounce(), 0.1f - 0.9f * 0.1f * 0.1f);
    renderAt(6, 41);
    EXPECT_NEAR(glyphBlurBounce(), 0.0835, 1e-4);
}

TEST(GlyphBlurScene, LeavesTheStateItPromises)
{
    using testsupport::GLField;
    // Enter sets the clear colour and touches nothing else the frame start fixes.
    testsupport::enterFrameStart();
    scene.enter();
    testsupport::GLState entered = testsupport::frameStartState();
    entered.clearColor = {1, 0, 1, 1};
    entered.ignore(GLField::BoundTexture);
    EXPECT_TRUE(testsupport::matchesGLState(entered, testsupport::captureGLState()));

    scene.setMusicPosition(6, 3);
    scene.render(2.0f);
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1.5f), testsupport::captureGLState()))
        << "after a frame without overlay";
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));

    scene.setMusicPosition(6, 8);
    scene.render(2.1f);
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1.5f), testsupport::captureGLState()))
        << "after a flash";
    scene.leave();
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1.5f), testsupport::captureGLState()))
        << "after leave";
}
