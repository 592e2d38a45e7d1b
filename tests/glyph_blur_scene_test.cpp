// The glyph blur scene rendered headless: its fades and flashes, the blur passes it hands from one
// frame to the next, the beat bounce, and the GL state it leaves.
#include "render/fader.h"
#include "render/radial_blur.h"
#include "scenes/glyph_blur_scene.h"
#include "support/scene_probes.h"

#include <gtest/gtest.h>

namespace {

GlyphBlurScene scene;
const bool loaded = addSceneEnvironment([] {
    scene.load();
    scene.enter();
});

FrameFeedback renderAt(int order, int row, float t = 1.0f)
{
    return recordScene(scene, order, row, t);
}

}  // namespace

TEST(GlyphBlurScene, FadesFromWhiteOverTheFirstRowsOfOrderFive)
{
    // Row 0: the last thing drawn is an opaque white quad over the whole window.
    testsupport::renderScene(scene, 5, 0, 0.5f);
    EXPECT_TRUE(testsupport::wholeFrameIs({255, 255, 255}));

    // Out of white by row 16; after it only the beat rows flash.
    expectFlashes(scene, {{5, 0, {1}}, {5, 8, {0.5f}}, {5, 16, {0}}, {5, 4, {0.75f}}, {5, 17, {}}, {5, 63, {}}});
}

TEST(GlyphBlurScene, FadesToWhiteAtTheEndOfOrderSixByTheFadeRuleNotTheFlash)
{
    expectFlashes(scene, {
        {6, 112, {0}}, {6, 120, {0.5f}}, {6, 127, {15 / 16.0f}}, {6, 113, {1 / 16.0f}}, {5, 111, {}}, {6, 100, {}},
        // The same rows in the other order, and the first rows of order 6, only flash.
        {5, 112, {0.15f}}, {5, 120, {0.15f}}, {6, 0, {0.15f}}, {6, 8, {0.15f}}, {6, 16, {0.15f}}, {6, 64, {0.15f}},
    });
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

    testsupport::renderScene(scene, 6, 3, 2.0f);
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1.5f), testsupport::captureGLState()))
        << "after a frame without overlay";
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));

    testsupport::renderScene(scene, 6, 8, 2.1f);
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1.5f), testsupport::captureGLState()))
        << "after a flash";
    scene.leave();
    EXPECT_TRUE(testsupport::matchesGLState(stateAfterBlurredFrame(1.5f), testsupport::captureGLState()))
        << "after leave";
}
