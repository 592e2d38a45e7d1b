// The forge's data folder as the demo reads it: every picture a scene names goes through the real
// texture loader and becomes a texture.
#include "render/texture.h"
#include "support/gl_harness.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

const char* const pictures[] = {
    "text_gfx_zub", "text_gfx_presents", "text_gfx_ademo", "text_gfx_called", "text_gfx_plomvardix",
    "gfx_not", "gfx_supernena", "fostarina2", "k", "bazura", "fordtuneao3", "minik", "text_laser",
    "cartelin", "zub03", "creditosdeverdad", "creditos_staff", "creditos_ruvo", "creditos_pemi",
    "creditos_aux", "creditos_theyhave", "greets_1", "greets_2", "greets_3", "greets_4", "epileptics",
    "allez", "fin",
};

bool powerOfTwo(uint32_t n)
{
    return n != 0 && (n & (n - 1)) == 0;
}

}  // namespace

TEST(DataFolder, TheLoaderTakesEveryPicture)
{
    ASSERT_TRUE(testsupport::openTestWindow());
    for (const char* name : pictures) {
        std::string path = std::string("data/") + name + ".tga";
        Texture texture = {};
        testing::internal::CaptureStdout();
        bool loaded = loadTGA(texture, path.c_str());
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(loaded) << path;
        EXPECT_EQ(out, "Loading texture " + path + "-> ok\n");
        EXPECT_NE(texture.id, 0u) << path;
        EXPECT_TRUE(powerOfTwo(texture.width) && powerOfTwo(texture.height))
            << path << " is " << texture.width << " x " << texture.height;
        EXPECT_TRUE(texture.bitsPerPixel == 24 || texture.bitsPerPixel == 32) << path;
        std::free(texture.pixels);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
