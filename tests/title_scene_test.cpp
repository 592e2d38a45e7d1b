// The intro titles rendered headless over solid test pictures: backgrounds paint only red and
// blue, captions only green, so the two layers and the white fade can be read apart per pixel.
#include "render/fader.h"
#include "scenes/title_scene.h"
#include "support/gl_harness.h"
#include "support/gl_state.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace testsupport;

namespace {

// A 256 x 64 24-bit picture, left half one colour and right half another (wide, so that linear
// filtering blurs the edge over a few pixels only).
void writePicture(const std::string& path, Rgb left, Rgb right)
{
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 64, 0, 24, 0};
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 256; x++) {
            Rgb c = x < 128 ? left : right;
            bytes.insert(bytes.end(), {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r)});
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

const Rgb notLeft{255, 0, 0}, notRight{0, 0, 255};
const Rgb supernenaLeft{128, 0, 0}, supernenaRight{0, 0, 128};
const Rgb titleColour{255, 255, 0};
const int captionGreen[4] = {250, 200, 150, 100};  // zub, presents, ademo, called

class Titles : public ::testing::Test {
protected:
    static TitleScene scene;

    static void SetUpTestSuite()
    {
        ASSERT_TRUE(openTestWindow());
        char pattern[] = "/tmp/title_test_XXXXXX";
        std::string folder = mkdtemp(pattern);
        std::string data = folder + "/data";
        ASSERT_EQ(mkdir(data.c_str(), 0755), 0);
        const char* captions[4] = {"text_gfx_zub", "text_gfx_presents", "text_gfx_ademo", "text_gfx_called"};
        for (int i = 0; i < 4; i++) {
            Rgb c{0, captionGreen[i], 0};
            writePicture(data + "/" + captions[i] + ".tga", c, c);
        }
        writePicture(data + "/text_gfx_plomvardix.tga", titleColour, titleColour);
        writePicture(data + "/gfx_not.tga", notLeft, notRight);
        writePicture(data + "/gfx_supernena.tga", supernenaLeft, supernenaRight);

        // The scene loads "data/..." relative to the working directory.
        char previous[4096];
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(folder.c_str()), 0);
        ::testing::internal::CaptureStdout();
        scene.load();
        std::string log = ::testing::internal::GetCapturedStdout();
        ASSERT_EQ(chdir(previous), 0);
        std::system(("rm -rf " + folder).c_str());
        ASSERT_EQ(log,
                  "Loading texture data/text_gfx_zub.tga-> ok\n"
                  "Loading texture data/text_gfx_presents.tga-> ok\n"
                  "Loading texture data/text_gfx_ademo.tga-> ok\n"
                  "Loading texture data/text_gfx_called.tga-> ok\n"
                  "Loading texture data/text_gfx_plomvardix.tga-> ok\n"
                  "Loading texture data/gfx_not.tga-> ok\n"
                  "Loading texture data/gfx_supernena.tga-> ok\n");
    }

    void SetUp() override
    {
        enterFrameStart();
        fader->load();
    }

    void frame(int order, int row, float t = 0) { renderScene(scene, order, row, t); }

    // Rows below the caption show the background alone.
    static Rgb background(int x) { return readPixel(x, 10); }
    static Rgb caption() { return readPixel(320, 240); }
};

TitleScene Titles::scene;

::testing::AssertionResult near(Rgb actual, Rgb expected, int tolerance = 2)
{
    if (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance
        && std::abs(actual.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " is not near " << expected;
}

}  // namespace

TEST_F(Titles, EnterClearsToMagenta)
{
    scene.enter();
    EXPECT_EQ(readPixel(0, 0), (Rgb{255, 0, 255}));
    EXPECT_EQ(readPixel(639, 479), (Rgb{255, 0, 255}));
}

TEST_F(Titles, RowZeroIsAllWhiteAndTheFadeEndsAtRow16)
{
    for (int order = 0; order < 5; order++) {
        frame(order, 0);
        EXPECT_TRUE(wholeFrameIs({255, 255, 255}, 0)) << "order " << order;
    }
    frame(0, 8);
    EXPECT_FLOAT_EQ(fader->alpha, 0.5f);
    frame(0, 16);
    EXPECT_FLOAT_EQ(fader->alpha, 0);  // drawn, invisible
    EXPECT_NEAR(caption().g, captionGreen[0] / 2, 1);
}

TEST_F(Titles, NoFadeFromRow17To111AndFadeToWhiteFrom112)
{
    for (int row = 17; row <= 111; row++) {
        fader->setColor(0.25f, 0.5f, 0.75f, 0.125f);
        frame(1, row);
        EXPECT_EQ(fader->alpha, 0.125f) << "row " << row;
        EXPECT_EQ(fader->red, 0.25f) << "row " << row;
    }
    frame(1, 112);
    EXPECT_EQ(fader->red, 1);
    EXPECT_EQ(fader->alpha, 0);
    frame(1, 127);
    EXPECT_FLOAT_EQ(fader->alpha, 15 / 16.0f);
    // Caption alpha 1/32 over a background of alpha 1/64, then 15/16 white.
    Rgb c = caption();
    EXPECT_NEAR(c.g, 255 * 15 / 16.0 + captionGreen[1] / 32.0 / 16, 2);
}

TEST_F(Titles, BackgroundPeaksAtRow64AndCaptionHoldsFrom32To96)
{
    // In order 0 the picture has slid left: x 400 shows its blue right half at every row here.
    frame(0, 64);
    EXPECT_TRUE(near(background(400), notRight, 1));
    frame(0, 63);
    EXPECT_NEAR(background(400).b, 255 * 63 / 64.0, 1);
    frame(0, 65);
    EXPECT_NEAR(background(400).b, 255 * 63 / 64.0, 1);
    frame(0, 40);
    EXPECT_NEAR(background(400).b, 255 * 40 / 64.0, 1);
    frame(0, 96);
    EXPECT_NEAR(background(400).b, 255 * 32 / 64.0, 1);

    for (int row : {32, 64, 96}) {
        frame(2, row);
        EXPECT_EQ(caption().g, captionGreen[2]) << "row " << row;
        EXPECT_EQ(caption().r, 0) << "the caption hides the background, row " << row;
    }
    frame(2, 31);
    EXPECT_NEAR(caption().g, captionGreen[2] * 31 / 32.0, 1);
    frame(2, 97);
    EXPECT_NEAR(caption().g, captionGreen[2] * 31 / 32.0, 1);
    frame(2, 24);
    EXPECT_NEAR(caption().g, captionGreen[2] * 24 / 32.0, 1);
}

TEST_F(Titles, PicturesPerOrderAndTheTitleTwiceFromOrder4)
{
    const Rgb left[4] = {notLeft, notLeft, supernenaLeft, supernenaLeft};
    const Rgb right[4] = {notRight, notRight, supernenaRight, supernenaRight};
    for (int order = 0; order < 4; order++) {
        frame(order, 64);
        EXPECT_EQ(caption(), (Rgb{0, captionGreen[order], 0})) << "order " << order;
        // Even orders slide left (the picture's right half shows), odd ones right.
        Rgb seen = background(320);
        EXPECT_TRUE(near(seen, order % 2 == 0 ? right[order] : left[order], 1)) << "order " << order;
    }
    for (int order : {4, 5, 9}) {
        frame(order, 64);
        EXPECT_EQ(caption(), titleColour) << "order " << order;
        EXPECT_EQ(background(5), titleColour) << "order " << order;
        EXPECT_EQ(background(635), titleColour) << "order " << order;
    }
}

TEST_F(Titles, SlideDirectionFollowsTheOrdersParity)
{
    // The picture's middle (its colour edge) sits at b on a window that shows -1.0022..1.0022.
    auto edge = [](int order, int row) {
        double b = 1.5 * std::sin((order + row) * 0.01);
        if (order % 2 == 0)
            b = -b;
        return 320 + b / 1.0022 * 320;
    };
    for (int order : {0, 1, 2, 3}) {
        for (int row : {20, 40, 64}) {  // rows whose edge lies inside the window
            frame(order, row);
            int x = static_cast<int>(edge(order, row));
            Rgb leftOfEdge = background(x - 12), rightOfEdge = background(x + 12);
            EXPECT_GT(leftOfEdge.r, 0) << order << "/" << row;
            EXPECT_EQ(leftOfEdge.b, 0) << order << "/" << row;
            EXPECT_EQ(rightOfEdge.r, 0) << order << "/" << row;
            EXPECT_GT(rightOfEdge.b, 0) << order << "/" << row;
        }
    }
    EXPECT_LT(edge(0, 64), 320);
    EXPECT_GT(edge(1, 64), 320);
}

TEST_F(Titles, TimeHasNoEffectAndTheFrameStateIsKept)
{
    frame(3, 50, 0);
    std::vector<uint8_t> first = readFrameBuffer();
    frame(3, 50, 123.5f);
    EXPECT_TRUE(first == readFrameBuffer());
    frame(3, 50, -7);
    EXPECT_TRUE(first == readFrameBuffer());

    GLState expected = frameStartState();
    expected.clearColor = {0, 0, 0, 1};
    expected.currentColor = {1, 1, 1, 1};
    expected.ignore(GLField::BoundTexture);  // the caption's texture stays bound
    EXPECT_TRUE(matchesGLState(expected, captureGLState()));

    frame(3, 5);  // with the fade
    expected.currentColor = {1, 1, 1, 11 / 16.0f};
    EXPECT_TRUE(matchesGLState(expected, captureGLState()));
}
