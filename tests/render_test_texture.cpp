// The TGA loader on files written here and by ImageMagick: what it accepts, what it rejects
// silently, the texture it uploads and the exact text it prints.
#include "render/texture.h"
#include "support/gl_harness.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace testsupport;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes header(uint8_t type, int width, int height, int depth, uint8_t descriptor = 0)
{
    return {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0,
            static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8),
            static_cast<uint8_t>(depth), descriptor};
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A record that frees its pixel buffer when the test is done with it.
struct OwnedTexture : Texture {
    ~OwnedTexture() { std::free(pixels); }
};

class TextureLoader : public ::testing::Test {
protected:
    static std::string folder;

    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/texture_test_XXXXXX";
        folder = mkdtemp(pattern);
    }
    static void TearDownTestSuite() { std::system(("rm -rf " + folder).c_str()); }

    void SetUp() override { ASSERT_TRUE(openTestWindow()); }

    std::string write(const char* name, const Bytes& bytes)
    {
        std::string path = folder + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }

    // Loads and returns what the loader printed.
    std::string load(Texture& texture, const std::string& path, bool& ok)
    {
        ::testing::internal::CaptureStdout();
        ok = loadTGA(texture, path.c_str());
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }

    // A load that must succeed, with its one line.
    ::testing::AssertionResult loads(Texture& texture, const std::string& path)
    {
        bool ok = false;
        const std::string printed = load(texture, path, ok);
        if (ok && printed == "Loading texture " + path + "-> ok\n")
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << (ok ? "loaded" : "refused") << ", printing \"" << printed << "\"";
    }

    void expectRejected(const std::string& path, const char* why)
    {
        OwnedTexture texture{};
        texture.id = 77;  // a failure leaves the name alone
        bool ok = true;
        size_t filesBefore = openFiles();
        EXPECT_EQ(load(texture, path, ok), "Loading texture " + path) << why;
        EXPECT_EQ(openFiles(), filesBefore) << why << ": the file is closed";
        EXPECT_FALSE(ok) << why;
        EXPECT_EQ(texture.id, 77u) << why;
        EXPECT_EQ(texture.pixels, nullptr) << why;
    }

    static size_t openFiles()
    {
        size_t n = 0;
        if (DIR* dir = opendir("/proc/self/fd")) {
            while (readdir(dir))
                n++;
            closedir(dir);
        }
        return n;
    }

    // The uploaded level 0 as RGBA, first row first.
    static Bytes texels(int width, int height)
    {
        Bytes rgba(width * height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    static GLint boundParameter(GLenum name)
    {
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
        return value;
    }
};

std::string TextureLoader::folder;

bool haveConvert()
{
    return std::system("convert -version >/dev/null 2>&1") == 0;
}

}  // namespace

TEST_F(TextureLoader, Accepts24BitSwapsToRgbAndKeepsRowOrder)
{
    // 3 x 2 (rows of 9 bytes, not 4-aligned), B,G,R per pixel, first stored row first.
    Bytes pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255,  10, 20, 30, 40, 50, 60, 70, 80, 90};
    std::string path = write("rgb24.tga", header(2, 3, 2, 24, 0x20) + pixels + Bytes{'T', 'R', 'U', 'E'});
    OwnedTexture texture{};
    ASSERT_TRUE(loads(texture, path));
    EXPECT_EQ(texture.width, 3u);
    EXPECT_EQ(texture.height, 2u);
    EXPECT_EQ(texture.bitsPerPixel, 24u);
    ASSERT_NE(texture.pixels, nullptr);
    EXPECT_EQ(Bytes(texture.pixels, texture.pixels + 18),
              (Bytes{0, 0, 255, 0, 255, 0, 255, 0, 0,  30, 20, 10, 60, 50, 40, 90, 80, 70}));

    ASSERT_NE(texture.id, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), texture.id);
    EXPECT_EQ(boundParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    // The descriptor's top-first flag is ignored: texture row 0 is the first row in the file.
    EXPECT_EQ(texels(3, 2), (Bytes{0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255,
                                   30, 20, 10, 255, 60, 50, 40, 255, 90, 80, 70, 255}));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
}

TEST_F(TextureLoader, Accepts32BitKeepingAlpha)
{
    Bytes pixels = {1, 2, 3, 4,  5, 6, 7, 8,  9, 10, 11, 12,  13, 14, 15, 16};
    std::string path = write("rgba32.tga", header(2, 2, 2, 32) + pixels);
    OwnedTexture texture{};
    ASSERT_TRUE(loads(texture, path));
    EXPECT_EQ(texture.bitsPerPixel, 32u);
    EXPECT_EQ(Bytes(texture.pixels, texture.pixels + 16),
              (Bytes{3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13, 16}));
    EXPECT_EQ(boundParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(texels(2, 2), (Bytes{3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13, 16}));
}

TEST_F(TextureLoader, RejectsEveryOtherKindSilently)
{
    Bytes four(2 * 2 * 4, 9);
    auto withByte = [](Bytes b, size_t at, uint8_t value) {
        b[at] = value;
        return b;
    };
    Bytes good = header(2, 2, 2, 32);
    expectRejected(folder + "/missing.tga", "missing file");
    expectRejected(write("rle.tga", header(10, 2, 2, 32) + four), "run-length encoded");
    expectRejected(write("mapped.tga", withByte(header(1, 2, 2, 8), 1, 1) + four), "colour-mapped");
    expectRejected(write("mapfields.tga", withByte(good, 5, 1) + four), "colour map fields");
    expectRejected(write("id.tga", withByte(good, 0, 3) + Bytes{1, 2, 3} + four), "identification field");
    expectRejected(write("xorigin.tga", withByte(good, 8, 1) + four), "x origin");
    expectRejected(write("yorigin.tga", withByte(good, 11, 1) + four), "y origin");
    expectRejected(write("depth8.tga", header(2, 2, 2, 8) + four), "8 bits");
    expectRejected(write("depth16.tga", header(2, 2, 2, 16) + four), "16 bits");
    expectRejected(write("short12.tga", Bytes{0, 0, 2, 0, 0, 0}), "header cut short");
    expectRejected(write("short18.tga", Bytes(good.begin(), good.begin() + 15)), "size fields cut short");
    expectRejected(write("truncated.tga", good + Bytes(15, 9)), "pixel data cut short");
    // 65535 x 65535 x 4 bytes overflows 32 bits; the picture is refused before any allocation.
    expectRejected(write("huge.tga", header(2, 65535, 65535, 32) + four), "overflowing size");

    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    ASSERT_GT(maxSize, 0);
    if (maxSize < 65535)
        expectRejected(write("wide.tga", header(2, maxSize + 1, 1, 32) + Bytes((maxSize + 1) * 4, 9)),
                       "wider than the GL takes");

    // A 0 x N picture: the sizes are stored before they are tested.
    OwnedTexture texture{};
    bool ok = true;
    std::string path = write("zero.tga", header(2, 0, 5, 24));
    EXPECT_EQ(load(texture, path, ok), "Loading texture " + path);
    EXPECT_FALSE(ok);
    EXPECT_EQ(texture.width, 0u);
    EXPECT_EQ(texture.height, 5u);
    EXPECT_EQ(texture.id, 0u);
    expectRejected(write("zeroheight.tga", header(2, 4, 0, 24)), "N x 0");

    // A failed load leaves its line open; the next one continues on it.
    ::testing::internal::CaptureStdout();
    loadTGA(texture, (folder + "/missing.tga").c_str());
    loadTGA(texture, write("after.tga", header(2, 1, 1, 24) + Bytes{1, 2, 3}).c_str());
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Loading texture " + folder + "/missing.tgaLoading texture " + folder + "/after.tga-> ok\n");
}

TEST_F(TextureLoader, ImageMagickFiles)
{
    if (!haveConvert())
        GTEST_SKIP() << "ImageMagick's convert is not installed (scripts/setup installs it)";
    // A 3 x 2 picture: top row red, green, blue; bottom row three greys.
    std::string ppm = write("in.ppm", Bytes{'P', '6', '\n', '3', ' ', '2', '\n', '2', '5', '5', '\n',
                                            255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 10, 10, 20, 20, 20, 30, 30, 30});
    auto convert = [&](const char* options, const char* name) {
        std::string out = folder + "/" + name;
        std::string command = "convert " + ppm + " " + options + " " + out;
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return out;
    };

    // Whatever row order and descriptor ImageMagick chooses, rows are uploaded as stored.
    auto storedAsRgba = [](const std::string& file, int bytesPerPixel) {
        FILE* f = std::fopen(file.c_str(), "rb");
        Bytes all(4096);
        all.resize(std::fread(all.data(), 1, all.size(), f));
        std::fclose(f);
        Bytes rgba;
        for (size_t i = 18; i + bytesPerPixel <= 18 + 6u * bytesPerPixel; i += bytesPerPixel)
            rgba.insert(rgba.end(), {all[i + 2], all[i + 1], all[i], bytesPerPixel == 4 ? all[i + 3] : uint8_t(255)});
        return rgba;
    };

    OwnedTexture plain{};
    std::string path = convert("", "magick.tga");
    ASSERT_TRUE(loads(plain, path));
    EXPECT_EQ(plain.bitsPerPixel, 24u);
    EXPECT_EQ(boundParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    Bytes expected = storedAsRgba(path, 3);
    EXPECT_EQ(texels(3, 2), expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), 10), 3) << "the grey row is there";

    OwnedTexture alpha{};
    path = convert("-alpha on", "magick_alpha.tga");
    ASSERT_TRUE(loads(alpha, path));
    EXPECT_EQ(alpha.bitsPerPixel, 32u);
    EXPECT_EQ(boundParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(texels(3, 2), storedAsRgba(path, 4));
    EXPECT_EQ(alpha.pixels[3], 255);

    // The top-left flag in the descriptor changes nothing in the upload.
    OwnedTexture topFirst{};
    path = convert("-orient TopLeft", "magick_top.tga");
    ASSERT_TRUE(loads(topFirst, path));
    EXPECT_EQ(texels(3, 2), storedAsRgba(path, 3));

    expectRejected(convert("-compress RLE", "magick_rle.tga"), "ImageMagick RLE");
    expectRejected(convert("-type Palette", "magick_palette.tga"), "ImageMagick colour-mapped");
    expectRejected(convert("-type Grayscale", "magick_grey.tga"), "ImageMagick grey");
    expectRejected(convert("-set comment hello", "magick_comment.tga"), "ImageMagick identification field");
}
