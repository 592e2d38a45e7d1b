// The offline back end: its GL context and pixel format, frame readback, the virtual clock, and
// scripted events and answers reaching the driver through the window procedure.
#include "platform/key_table.h"
#include "platform/offline.h"
#include "platform/platform.h"
#include "shell/driver.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

extern GLWindow* glWindow;

namespace {

class Offline : public ::testing::Test {
protected:
    void SetUp() override { offline::reset(); }
    void TearDown() override { offline::reset(); }
};

TEST_F(Offline, ContextHasTheDemosPixelFormat)
{
    ASSERT_TRUE(offline::openContext());
    GLint red = 0, green = 0, blue = 0, alpha = -1, depth = 0, stencil = -1, viewport[4] = {};
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(red, 8);
    EXPECT_EQ(green, 8);
    EXPECT_EQ(blue, 8);
    EXPECT_EQ(alpha, 0);
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(stencil, 0);
    // No double-buffering test: an EGL pbuffer has a single colour buffer, which swaps leave alone.
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    // Legacy entry points must work: a compatibility context, not a core one.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glBegin(GL_POINTS);
    glVertex2f(0, 0);
    glEnd();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    EXPECT_NE(std::strstr(renderer, "llvmpipe"), nullptr) << renderer;
    offline::closeContext();
}

TEST_F(Offline, ReadsTheFrameBackTopRowFirstBeforeTheSwap)
{
    ASSERT_TRUE(offline::openContext());
    static std::vector<unsigned char> seen;
    static uint64_t seenFrame;
    seen.assign(640 * 480 * 3, 0);
    seenFrame = 99;
    offline::setSwapHook([](uint64_t frame) {
        seenFrame = frame;
        offline::readFrame(seen.data());
    });

    // Red clear, then a white quad over the top half (GL's y grows upwards).
    glClearColor(1, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex2f(-1, 0);
    glVertex2f(1, 0);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    platform::swapBuffers();

    EXPECT_EQ(seenFrame, 0u);
    auto pixel = [](int x, int y) {
        const unsigned char* p = &seen[(y * 640 + x) * 3];
        return (p[0] << 16) | (p[1] << 8) | p[2];
    };
    EXPECT_EQ(pixel(0, 0), 0xffffff);
    EXPECT_EQ(pixel(639, 239), 0xffffff);
    EXPECT_EQ(pixel(0, 240), 0xff0000);
    EXPECT_EQ(pixel(639, 479), 0xff0000);

    // The destination alpha the scenes rely on not having: blending with GL_DST_ALPHA sees 1.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE_MINUS_DST_ALPHA, GL_DST_ALPHA);
    glColor3f(0, 0, 1);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_BLEND);
    platform::swapBuffers();
    EXPECT_EQ(seenFrame, 1u);
    EXPECT_EQ(pixel(0, 479), 0xff0000);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    offline::closeContext();
}

TEST_F(Offline, ClockAdvancesOneFrameIntervalPerSwapAndBySleepsWithoutDrift)
{
    static std::vector<uint64_t> heard;
    heard.clear();
    offline::setClockListener([](uint64_t micros) { heard.push_back(micros); });
    EXPECT_EQ(offline::clockMicroseconds(), 0u);
    platform::swapBuffers();
    EXPECT_EQ(offline::clockMicroseconds(), 16666u);
    platform::sleep(10);
    EXPECT_EQ(offline::clockMicroseconds(), 26666u);
    EXPECT_EQ(platform::tickCount(), 26u);
    platform::swapBuffers();
    platform::swapBuffers();
    EXPECT_EQ(offline::clockMicroseconds(), 60000u);
    EXPECT_EQ(heard, (std::vector<uint64_t>{16666, 26666, 43333, 60000}));
    EXPECT_EQ(offline::frameCount(), 3u);

    // An hour at 60 frames per second is exactly an hour.
    offline::reset();
    for (int k = 0; k < 3600 * 60; ++k)
        platform::swapBuffers();
    EXPECT_EQ(offline::clockMicroseconds(), 3600000000u);
    EXPECT_EQ(platform::tickCount(), 3600000u);

    offline::reset();
    offline::setFramesPerSecond(25);
    platform::swapBuffers();
    EXPECT_EQ(platform::tickCount(), 40u);
    offline::setFramesPerSecond(60);
}

TEST_F(Offline, ScriptedEventsReachKeysAndActiveThroughTheWindowProcedure)
{
    using platform::EventType;
    std::memset(keys, 0, sizeof keys);
    active = true;
    quitPosted = false;
    offline::scheduleKeyPress(2, offline::keyCode("escape"));
    offline::scheduleKeyPress(2, offline::keyCode("space"));
    offline::scheduleEvent(4, EventType::Minimized);
    offline::scheduleEvent(5, EventType::Restored);
    offline::scheduleEvent(6, EventType::Close);

    auto pump = [] {
        int n = 0;
        platform::Event event;
        while (platform::pollEvent(event)) {
            glWindow->windowProc(event);
            ++n;
        }
        glWindow->keysRead();  // as a frame of the driver does
        platform::swapBuffers();
        return n;
    };
    EXPECT_EQ(pump(), 0);  // frame 0
    EXPECT_EQ(pump(), 0);  // frame 1
    EXPECT_EQ(pump(), 2);  // frame 2: both keys down
    EXPECT_EQ(keys[27], 1);
    EXPECT_EQ(keys[32], 1);
    EXPECT_EQ(pump(), 2);  // frame 3: both up
    EXPECT_EQ(keys[27], 0);
    EXPECT_EQ(keys[32], 0);
    pump();
    EXPECT_FALSE(active);
    pump();
    EXPECT_TRUE(active);
    EXPECT_FALSE(quitPosted);
    pump();
    EXPECT_TRUE(quitPosted);
    quitPosted = false;

    // Events that fall due while nobody polls (the loading sequence) come one frame per pass, so
    // a press made then is still seen down by one frame step.
    offline::scheduleKeyPress(8, 'A');
    for (int k = 0; k < 4; ++k)
        platform::swapBuffers();
    platform::Event event;
    ASSERT_TRUE(platform::pollEvent(event));
    EXPECT_EQ(event.type, EventType::KeyDown);
    EXPECT_EQ(event.key, 65);
    EXPECT_FALSE(platform::pollEvent(event));
    platform::swapBuffers();
    ASSERT_TRUE(platform::pollEvent(event));
    EXPECT_EQ(event.type, EventType::KeyUp);
}

TEST_F(Offline, KeyNamesMapToVirtualKeyCodes)
{
    EXPECT_EQ(offline::keyCode("escape"), 27);
    EXPECT_EQ(offline::keyCode("Space"), 32);
    EXPECT_EQ(offline::keyCode("return"), 13);
    EXPECT_EQ(offline::keyCode("q"), 'Q');
    EXPECT_EQ(offline::keyCode("7"), '7');
    EXPECT_EQ(offline::keyCode("f1"), 112);
    EXPECT_EQ(offline::keyCode("f12"), 123);
    EXPECT_EQ(offline::keyCode("f13"), -1);
    EXPECT_EQ(offline::keyCode("nokey"), -1);
    EXPECT_EQ(offline::keyCode(""), -1);
}

// A live key press and the capture tool's key name reach the demo as the same code.
TEST(Keys, SdlKeysAndNamesGiveTheSameCodes)
{
    EXPECT_EQ(key_table::fromSdl(SDLK_ESCAPE), platform::keyEscape);
    EXPECT_EQ(key_table::fromSdl(SDLK_SPACE), platform::keySpace);
    EXPECT_EQ(key_table::fromSdl(SDLK_q), key_table::fromName("q"));
    EXPECT_EQ(key_table::fromSdl(SDLK_7), key_table::fromName("7"));
    EXPECT_EQ(key_table::fromSdl(SDLK_F12), key_table::fromName("f12"));
    EXPECT_EQ(key_table::fromSdl(SDLK_LEFT), key_table::fromName("left"));
    EXPECT_EQ(key_table::fromSdl(SDLK_RSHIFT), key_table::fromName("shift"));
    EXPECT_EQ(key_table::fromSdl(SDLK_KP_ENTER), key_table::fromName("return"));
    EXPECT_EQ(key_table::fromSdl(SDLK_KP_0), -1);
}

TEST_F(Offline, MessageBoxesAreAnsweredAsScriptedAndCounted)
{
    using namespace platform;
    EXPECT_EQ(messageBox("fullscreen?", "zub.plomvardix", mbYesNo | mbIconQuestion), idNo);
    offline::setFullscreenAnswer(idYes);
    EXPECT_EQ(messageBox("fullscreen?", "zub.plomvardix", mbYesNo | mbIconQuestion), idYes);
    offline::queueMessageBoxAnswer(idYes);
    EXPECT_EQ(messageBox("Use Windowed Mode Instead?", "Qovo GL", mbYesNo | mbIconExclamation), idYes);
    EXPECT_EQ(messageBox("Use Windowed Mode Instead?", "Qovo GL", mbYesNo | mbIconExclamation), idNo);
    EXPECT_EQ(messageBox("Program Will Now Close.", "ERROR", mbOk | mbIconStop), idOk);
    EXPECT_EQ(offline::messageBoxCount(), 5);
    EXPECT_STREQ(offline::lastMessageBoxText(), "Program Will Now Close.");
}

}  // namespace
