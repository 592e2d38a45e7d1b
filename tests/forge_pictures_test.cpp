// Checks the forge's pictures against what the texture loader accepts and what the scenes need of them.
#include "support/data_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A picture as the loader reads it: R,G,B(,A) texels, row 0 the first stored (the quads' bottom edge).
struct Picture {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> texels;
    const uint8_t* at(int x, int y) const { return &texels[(size_t(y) * width + x) * channels]; }
    int alpha(int x, int y) const { return channels == 4 ? at(x, y)[3] : 255; }
};

Picture decode(const std::vector<uint8_t>& file)
{
    Picture p;
    p.width = file[12] | file[13] << 8;
    p.height = file[14] | file[15] << 8;
    p.channels = file[16] / 8;
    p.texels.assign(file.begin() + 18, file.begin() + 18 + size_t(p.width) * p.height * p.channels);
    for (size_t i = 0; i + 2 < p.texels.size(); i += size_t(p.channels))
        std::swap(p.texels[i], p.texels[i + 2]);
    return p;
}

// The build's data/ is the forge's output; one test forges it all again (the soundtrack too) to see
// the same bytes.
class ForgePictures : public ::testing::Test {
protected:
    static Picture load(const std::string& name) { return decode(readFile(base / name)); }
    static inline const fs::path base = fs::current_path() / "data";
};

TEST_F(ForgePictures, TwoRunsWriteTheSameBytes)
{
    const fs::path again = fs::temp_directory_path() / ("forge_pictures_" + std::to_string(::getpid()));
    fs::remove_all(again);
    const std::string command = std::string("'") + FORGE_EXECUTABLE + "' '" + again.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::string> first, second;
    for (const auto& entry : fs::directory_iterator(base))
        first.push_back(entry.path().filename().string());
    for (const auto& entry : fs::directory_iterator(again))
        second.push_back(entry.path().filename().string());
    std::sort(first.begin(), first.end());
    std::sort(second.begin(), second.end());
    EXPECT_EQ(first, second);
    for (const auto& [name, bits] : testsupport::pictureBits)
        EXPECT_TRUE(std::binary_search(first.begin(), first.end(), name)) << name << " missing";
    for (const std::string& name : first)
        EXPECT_TRUE(readFile(base / name) == readFile(again / name)) << name << " differs";
    fs::remove_all(again);
}

// Blended with (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA) and filtered linearly, an empty texel's colour leaks
// into its visible neighbours: it must carry the colour of one of them, or a dark fringe shows.
TEST_F(ForgePictures, EmptyTexelsCarryTheColourOfTheirVisibleNeighbours)
{
    for (const auto& [name, bits] : testsupport::pictureBits) {
        if (bits != 32 || name == "fordtuneao3.tga")
            continue;
        SCOPED_TRACE(name);
        Picture p = load(name);
        int visible = 0, faults = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                if (p.alpha(x, y) > 0) {
                    ++visible;
                    continue;
                }
                int best = 1000;
                bool bordersVisible = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= p.width || ny >= p.height || p.alpha(nx, ny) == 0)
                            continue;
                        bordersVisible = true;
                        int d = 0;
                        for (int c = 0; c < 3; ++c)
                            d = std::max(d, std::abs(int(p.at(x, y)[c]) - int(p.at(nx, ny)[c])));
                        best = std::min(best, d);
                    }
                if (bordersVisible && best > 8)
                    ++faults;
            }
        EXPECT_GT(visible, 0);
        EXPECT_EQ(faults, 0);
    }
}

// The ring logo multiplies what lies beneath by its colour: where it is empty it must be white.
TEST_F(ForgePictures, RingLogoIsWhiteWhereItIsEmpty)
{
    Picture p = load("fordtuneao3.tga");
    int empty = 0, solid = 0, notWhite = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            if (p.alpha(x, y) == 255)
                ++solid;
            if (p.alpha(x, y) != 0)
                continue;
            ++empty;
            if (p.at(x, y)[0] != 255 || p.at(x, y)[1] != 255 || p.at(x, y)[2] != 255)
                ++notWhite;
        }
    EXPECT_GT(empty, p.width * p.height / 4);
    EXPECT_GT(solid, p.width * p.height / 20);
    EXPECT_EQ(notWhite, 0);
    for (int x = 0; x < p.width; ++x) {  // the quad's edges leave the scene untouched
        EXPECT_EQ(p.alpha(x, 0), 0);
        EXPECT_EQ(p.alpha(x, p.height - 1), 0);
    }
}

// The closing mask: the credits scene draws fin.tga on [-2k, 2k]² around a 4 × 3 box (seen to about
// ±2.02 × ±1.52), with k from 3 at row 0 to about 1.02 at row 127, and keeps the frame where alpha is 1.
TEST_F(ForgePictures, FinMaskShowsTheFrameThenClosesTowardsTheCentre)
{
    Picture p = load("fin.tga");
    ASSERT_EQ(p.channels, 4);
    auto visibleShare = [&](int row) {
        float k = 3 - 2.0f * row / 128, half = 2 * k;
        double sum = 0;
        int n = 0;
        for (int sy = 0; sy < 60; ++sy)
            for (int sx = 0; sx < 80; ++sx) {
                float bx = (sx + 0.5f) / 80 * 4.044f - 2.022f, by = (sy + 0.5f) / 60 * 3.034f - 1.517f;
                int tx = std::clamp(int((bx + half) / (2 * half) * p.width), 0, p.width - 1);
                int ty = std::clamp(int((by + half) / (2 * half) * p.height), 0, p.height - 1);
                sum += p.alpha(tx, ty) / 255.0;
                ++n;
            }
        return sum / n;
    };
    EXPECT_EQ(p.alpha(p.width / 2, p.height / 2), 255);
    EXPECT_GT(visibleShare(0), 0.9);
    EXPECT_LT(visibleShare(127), 0.4);
    for (int row = 8; row < 128; row += 8)
        EXPECT_LE(visibleShare(row), visibleShare(row - 8) + 1e-6) << "row " << row;
    for (int i = 0; i < p.width; ++i) {  // beyond the opening the quad is black up to its edges
        EXPECT_EQ(p.alpha(i, 0), 0);
        EXPECT_EQ(p.alpha(0, i), 0);
    }
}

// The laser beam scrolls its texture with wrap-around, and the band's light sits in the middle.
TEST_F(ForgePictures, LaserBandTilesAlongItsLengthAndGlowsInTheMiddle)
{
    Picture p = load("text_laser.tga");
    int seam = 0;
    for (int x = 0; x < p.width; ++x)
        seam = std::max(seam, std::abs(p.alpha(x, 0) - p.alpha(x, p.height - 1)));
    EXPECT_LT(seam, 40);
    for (int y = 0; y < p.height; y += 16) {
        EXPECT_GT(p.alpha(p.width / 2, y), 230);
        EXPECT_LT(p.alpha(0, y), 60);
        EXPECT_LT(p.alpha(p.width - 1, y), 60);
    }
}

}  // namespace
