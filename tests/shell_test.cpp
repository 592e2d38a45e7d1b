// The GL window and the loading bar, on the offline back end.
#include "platform/offline.h"
#include "platform/platform.h"
#include "shell/driver.h"
#include "shell/glwindow.h"
#include "support/gl_state.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> lastFrame(640 * 480 * 3);

void keepFrame(uint64_t)
{
    offline::readFrame(lastFrame.data());
}

struct Rgb {
    int r, g, b;
};

// x, y in GL window coordinates (origin bottom left); the frame is stored top row first.
Rgb pixel(int x, int y)
{
    const unsigned char* p = &lastFrame[((479 - y) * 640 + x) * 3];
    return {p[0], p[1], p[2]};
}

void expectColor(Rgb actual, Rgb expected, int tolerance, const char* what)
{
    EXPECT_NEAR(actual.r, expected.r, tolerance) << what;
    EXPECT_NEAR(actual.g, expected.g, tolerance) << what;
    EXPECT_NEAR(actual.b, expected.b, tolerance) << what;
}

class LoadingBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        offline::reset();
        ASSERT_TRUE(glWindow->create("test", 640, 480, 32, false));
        offline::setSwapHook(keepFrame);
    }
    void TearDown() override
    {
        offline::setSwapHook(nullptr);
        glWindow->destroy();
    }
};

// Every message box shown, with its caption and style.
struct Box {
    std::string text, caption;
    unsigned style;
    bool operator==(const Box& other) const
    {
        return text == other.text && caption == other.caption && style == other.style;
    }
};
std::vector<Box> boxes;

void keepBox(const char* text, const char* caption, unsigned style)
{
    boxes.push_back({text, caption, style});
}

std::ostream& operator<<(std::ostream& out, const Box& box)
{
    return out << box.caption << ": " << box.text << " (" << box.style << ")";
}

constexpr Rgb clearColor = {89, 13, 89};       // (0.35, 0.05, 0.35)
constexpr Rgb outlineColor = {230, 51, 232};   // (0.9, 0.2, 0.91)

}  // namespace

TEST(GLWindow, KeepsSizeOrFallsBackTo640x480)
{
    GLWindow a(0, 480), b(640, -1), c(320, 200);
    EXPECT_EQ(a.width(), 640);
    EXPECT_EQ(a.height(), 480);
    EXPECT_EQ(b.width(), 640);
    EXPECT_EQ(b.height(), 480);
    EXPECT_EQ(c.width(), 320);
    EXPECT_EQ(c.height(), 200);
}

TEST(GLWindow, SetTitleTruncatesToItsBuffer)
{
    GLWindow window(640, 480);
    std::string longTitle(400, 'x');
    window.setTitle(longTitle.c_str());
    EXPECT_EQ(std::string(window.title()), std::string(254, 'x'));
    window.setTitle("zub.plomvardix");
    EXPECT_STREQ(window.title(), "zub.plomvardix");
}

TEST(GLWindow, RefusedFullscreenModeOffersWindowedMode)
{
    offline::reset();
    offline::setDisplayModeAvailable(false);
    offline::queueMessageBoxAnswer(platform::idYes);
    GLWindow window(640, 480);
    ASSERT_TRUE(window.create("test", 640, 480, 32, true));
    EXPECT_FALSE(window.isFullscreen());
    EXPECT_EQ(offline::messageBoxCount(), 1);
    EXPECT_STREQ(offline::lastMessageBoxText(),
                 "The Requested Fullscreen Mode Is Not Supported By\nyour Video Card. Use Windowed Mode Instead?");
    window.destroy();
    EXPECT_EQ(offline::messageBoxCount(), 1) << "no box on a clean teardown";

    // No: one more box, then the window is not made.
    offline::reset();
    offline::setDisplayModeAvailable(false);
    offline::queueMessageBoxAnswer(platform::idNo);
    GLWindow refused(640, 480);
    EXPECT_FALSE(refused.create("test", 640, 480, 32, true));
    EXPECT_EQ(offline::messageBoxCount(), 2);
    EXPECT_STREQ(offline::lastMessageBoxText(), "Program Will Now Close.");
    refused.destroy();
    offline::reset();
}

// A key pressed and released between two frames is seen by the next frame, once; a key held
// across frames is released by its own key-up.
TEST(GLWindow, AKeyTappedBetweenFramesCountsOnce)
{
    offline::reset();
    GLWindow window(640, 480);
    ASSERT_TRUE(window.create("test", 640, 480, 32, false));
    auto drainEvents = [&] {
        platform::Event event;
        while (platform::pollEvent(event))
            window.windowProc(event);
    };
    ASSERT_TRUE(offline::scheduleEvent(0, platform::EventType::KeyDown, platform::keyEscape));
    ASSERT_TRUE(offline::scheduleEvent(0, platform::EventType::KeyUp, platform::keyEscape));
    drainEvents();
    EXPECT_TRUE(keys[platform::keyEscape]) << "the tap was lost before the frame read it";
    window.keysRead();
    EXPECT_FALSE(keys[platform::keyEscape]) << "the tap counted again in the next frame";

    platform::Event down = {platform::EventType::KeyDown, platform::keySpace, 0, 0};
    platform::Event up = {platform::EventType::KeyUp, platform::keySpace, 0, 0};
    window.windowProc(down);
    window.keysRead();
    EXPECT_TRUE(keys[platform::keySpace]) << "a held key let go by a frame";
    window.windowProc(up);
    EXPECT_FALSE(keys[platform::keySpace]);
    window.destroy();
    offline::reset();
}

// A failed step tears down what was made before it, then shows its own box; the class
// registration has nothing to tear down. Every release fails here, so each one tried shows, and
// the next still runs: nothing is left held.
TEST(GLWindow, EachFailedStepIsReportedAfterTheTeardownOfWhatWasMade)
{
    using platform::WindowStep;
    const Box teardown[] = {
        {"Release Of DC And RC Failed.", "SHUTDOWN ERROR", platform::mbOk | platform::mbIconInformation},
        {"Release Rendering Context Failed.", "SHUTDOWN ERROR", platform::mbOk | platform::mbIconInformation},
        {"Release Device Context Failed.", "SHUTDOWN ERROR", platform::mbOk | platform::mbIconInformation},
        {"Could Not Release hWnd.", "SHUTDOWN ERROR", platform::mbOk | platform::mbIconInformation},
        {"Could Not Unregister Class.", "SHUTDOWN ERROR", platform::mbOk | platform::mbIconInformation},
    };
    const struct {
        WindowStep step;
        const char* text;
        int releasesTried;  // the last ones of the teardown
    } cases[] = {
        {WindowStep::WindowSystem, "Failed To Register The Window Class.", 0},
        {WindowStep::Window, "Window Creation Error.", 1},
        {WindowStep::DrawingSurface, "Can't Create A GL Device Context.", 2},
        {WindowStep::ChoosePixelFormat, "Can't Find A Suitable PixelFormat.", 3},
        {WindowStep::SetPixelFormat, "Can't Set The PixelFormat.", 3},
        {WindowStep::Context, "Can't Create A GL Rendering Context.", 3},
        {WindowStep::CurrentContext, "Can't Activate The GL Rendering Context.", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        offline::reset();
        boxes.clear();
        offline::setMessageBoxHook(keepBox);
        offline::setFailingWindowSteps(platform::stepBit(c.step), ~0u);
        GLWindow window(640, 480);
        EXPECT_FALSE(window.create("test", 640, 480, 32, false));
        std::vector<Box> expected(std::end(teardown) - c.releasesTried, std::end(teardown));
        expected.push_back({c.text, "ERROR", platform::mbOk | platform::mbIconExclamation});
        EXPECT_EQ(boxes, expected);

        // Nothing was left held: the window can be made again.
        offline::setFailingWindowSteps(0, 0);
        EXPECT_TRUE(window.create("test", 640, 480, 32, false));
        window.destroy();
    }
    offline::reset();
}

TEST(GLWindow, BeginOrthoMultipliesOntoTheProjectionInForce)
{
    offline::reset();
    ASSERT_TRUE(glWindow->create("test", 640, 480, 32, false));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 20);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    GLfloat frustum[16], product[16];
    glGetFloatv(GL_PROJECTION_MATRIX, frustum);
    glWindow->beginOrtho(2, 2);
    GLint depth = 0, mode = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetFloatv(GL_PROJECTION_MATRIX, product);
    EXPECT_EQ(depth, 2);
    EXPECT_EQ(mode, GL_MODELVIEW);
    // frustum x ortho(-1, 1, -1, 1, 0.1, 200): x and y keep their scale, w picks up the ortho's z.
    EXPECT_NEAR(product[0], 1, 1e-6);
    EXPECT_NEAR(product[5], 1, 1e-6);
    EXPECT_NEAR(product[15], (200 + 0.1f) / (200 - 0.1f), 1e-5);
    glWindow->endOrtho();
    GLfloat restored[16];
    glGetFloatv(GL_PROJECTION_MATRIX, restored);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(restored[i], frustum[i]);
    glWindow->destroy();
}

TEST_F(LoadingBar, DrawsClearColourOutlineAndFill)
{
    drawLoadingBar(40);
    expectColor(pixel(5, 5), clearColor, 1, "clear colour in the corner");
    expectColor(pixel(320, 235), outlineColor, 2, "bottom edge of the outline");
    expectColor(pixel(320, 254), outlineColor, 2, "top edge of the outline");
    expectColor(pixel(26, 245), outlineColor, 2, "left edge of the outline");
    // Fill at 40 %: x from -50 to -10 box units (pixels 30 to 261), white at alpha 0.4.
    expectColor(pixel(100, 245), {155, 110, 155}, 3, "fill at 40 %");
    expectColor(pixel(255, 245), {155, 110, 155}, 3, "fill near its right end");
    expectColor(pixel(300, 245), clearColor, 1, "beyond the fill at 40 %");
    expectColor(pixel(100, 230), clearColor, 1, "below the bar");

    drawLoadingBar(100);
    expectColor(pixel(100, 245), {255, 255, 255}, 1, "fill at 100 %");
    expectColor(pixel(600, 245), {255, 255, 255}, 1, "right end of the fill at 100 %");
    expectColor(pixel(320, 235), outlineColor, 2, "outline at 100 %");
    expectColor(pixel(320, 100), clearColor, 1, "clear colour at 100 %");
}

// frameStartState() is written out from the loading bar's own calls: glFrustum(-1, 1, -1, 1, 1, 20),
// an identity modelview, line width 2, the clear colour, blending off, ...
TEST_F(LoadingBar, LeavesTheStateEveryFrameStartsFrom)
{
    glLineWidth(7);
    glEnable(GL_BLEND);
    drawLoadingBar(100);
    EXPECT_TRUE(testsupport::matchesGLState(testsupport::frameStartState(), testsupport::captureGLState()));
}

TEST_F(LoadingBar, EachBarIsOneFrameWithTenMillisecondsOfSleep)
{
    uint64_t frames = offline::frameCount();
    uint64_t micros = offline::clockMicroseconds();
    drawLoadingBar(0);
    EXPECT_EQ(offline::frameCount(), frames + 1);
    EXPECT_EQ(offline::clockMicroseconds(), micros + 10000 + 1000000 / 60);
}
