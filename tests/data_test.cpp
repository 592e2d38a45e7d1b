// The forge's data folder as the demo reads it: every picture a scene names goes through the real
// texture loader and becomes a texture of the size and depth the scene needs.
#include "render/texture.h"
#include "support/data_pictures.h"
#include "support/gl_harness.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

bool powerOfTwo(uint32_t n)
{
    return n != 0 && (n & (n - 1)) == 0;
}

}  // namespace

TEST(DataFolder, TheLoaderTakesEveryPicture)
{
    ASSERT_TRUE(testsupport::openTestWindow());
    for (const auto& [name, bits] : testsupport::pictureBits) {
        std::string path = "data/" + name;
        Texture texture = {};
        testing::internal::CaptureStdout();
        bool loaded = loadTGA(texture, path.c_str());
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(loaded) << path;
        EXPECT_EQ(out, "Loading texture " + path + "-> ok\n");
        EXPECT_NE(texture.id, 0u) << path;
        EXPECT_TRUE(powerOfTwo(texture.width) && powerOfTwo(texture.height) && texture.width <= 1024 &&
                    texture.height <= 1024)
            << path << " is " << texture.width << " x " << texture.height;
        EXPECT_EQ(texture.bitsPerPixel, static_cast<uint32_t>(bits)) << path;
        std::free(texture.pixels);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
