// picture_check: holds a screenshot of the live demo against frames of the offline runner.
//
//   picture_check SHOT.png FRAMES_DIR LOG.csv [nearest]
//
// The 640 x 480 picture must sit in the shot as large as fits with its aspect kept, centred, with
// pure black around it; inside, it must be one of the runner's frames scaled as the live back end
// scales it (linear, or nearest), within a small tolerance for the filtering. Prints the best
// frame. Exit status: 0 a scene frame matches; 3 the best match is a loading-bar frame (the demo
// had not reached a scene yet); 1 no match or the bars are not black; 2 bad input.
#include "support/png_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int pictureWidth = 640;
constexpr int pictureHeight = 480;

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // top-down rows
    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

bool readPng(const std::string& path, Image& image)
{
    image.rgb = capture_support::readPng(path, image.width, image.height);
    return !image.rgb.empty();
}

struct Rect {
    int x, y, width, height;  // top-down
};

// As the live back end fits the picture (rounded to the nearest pixel, the odd pixel of a bar to
// the top and right); y flipped to top-down rows.
Rect fit(int windowWidth, int windowHeight)
{
    int64_t w = windowWidth, h = windowHeight;
    if (w * pictureHeight <= h * pictureWidth)
        h = (w * pictureHeight * 2 + pictureWidth) / (2 * pictureWidth);
    else
        w = (h * pictureWidth * 2 + pictureHeight) / (2 * pictureHeight);
    int x = static_cast<int>((windowWidth - w) / 2);
    int glY = static_cast<int>((windowHeight - h) / 2);
    return {x, windowHeight - glY - static_cast<int>(h), static_cast<int>(w), static_cast<int>(h)};
}

// The frame's colour at the shot's pixel (sx, sy) inside `to`, sampled as a framebuffer blit does.
void sample(const Image& frame, const Rect& to, int sx, int sy, bool nearest, float out[3])
{
    double u = (sx - to.x + 0.5) * pictureWidth / to.width;
    double v = (sy - to.y + 0.5) * pictureHeight / to.height;
    if (nearest) {
        int x = std::min(static_cast<int>(u), pictureWidth - 1);
        int y = std::min(static_cast<int>(v), pictureHeight - 1);
        for (int c = 0; c < 3; ++c)
            out[c] = frame.at(x, y)[c];
        return;
    }
    double fx = u - 0.5, fy = v - 0.5;
    int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    double ax = fx - x0, ay = fy - y0;
    auto clampX = [](int x) { return x < 0 ? 0 : x >= pictureWidth ? pictureWidth - 1 : x; };
    auto clampY = [](int y) { return y < 0 ? 0 : y >= pictureHeight ? pictureHeight - 1 : y; };
    const unsigned char* p00 = frame.at(clampX(x0), clampY(y0));
    const unsigned char* p10 = frame.at(clampX(x0 + 1), clampY(y0));
    const unsigned char* p01 = frame.at(clampX(x0), clampY(y0 + 1));
    const unsigned char* p11 = frame.at(clampX(x0 + 1), clampY(y0 + 1));
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<float>((p00[c] * (1 - ax) + p10[c] * ax) * (1 - ay) + (p01[c] * (1 - ax) + p11[c] * ax) * ay);
}

struct Score {
    double mean = 1e9;      // mean absolute difference per channel
    double offShare = 1;    // share of pixels off by more than 24 in any channel
};

Score compare(const Image& shot, const Image& frame, const Rect& to, bool nearest, int step)
{
    double total = 0;
    long pixels = 0, off = 0;
    for (int y = to.y; y < to.y + to.height; y += step)
        for (int x = to.x; x < to.x + to.width; x += step) {
            float want[3];
            sample(frame, to, x, y, nearest, want);
            const unsigned char* got = shot.at(x, y);
            float worst = 0;
            for (int c = 0; c < 3; ++c) {
                float d = std::fabs(got[c] - want[c]);
                total += d;
                worst = std::max(worst, d);
            }
            off += worst > 24;
            ++pixels;
        }
    return {total / (3.0 * pixels), static_cast<double>(off) / pixels};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: picture_check SHOT.png FRAMES_DIR LOG.csv [nearest]\n");
        return 2;
    }
    bool nearest = argc > 4 && std::strcmp(argv[4], "nearest") == 0;
    Image shot;
    if (!readPng(argv[1], shot)) {
        std::fprintf(stderr, "picture_check: cannot read %s\n", argv[1]);
        return 2;
    }
    // The scene of each frame, from the runner's log (empty while loading).
    std::map<int, std::string> scenes;
    {
        std::ifstream log(argv[3]);
        std::string line;
        std::getline(log, line);
        while (std::getline(log, line)) {
            std::stringstream fields(line);
            std::string frame, seconds, order, row, scene;
            std::getline(fields, frame, ',');
            std::getline(fields, seconds, ',');
            std::getline(fields, order, ',');
            std::getline(fields, row, ',');
            std::getline(fields, scene, ',');
            scenes[std::atoi(frame.c_str())] = scene + " order " + order + " row " + row;
            if (scene.empty())
                scenes[std::atoi(frame.c_str())] = "";
        }
    }

    Rect to = fit(shot.width, shot.height);
    long notBlack = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            if (x >= to.x && x < to.x + to.width && y >= to.y && y < to.y + to.height)
                continue;
            const unsigned char* p = shot.at(x, y);
            notBlack += p[0] != 0 || p[1] != 0 || p[2] != 0;
        }
    std::printf("shot %dx%d, picture at %d,%d size %dx%d\n", shot.width, shot.height, to.x, to.y, to.width, to.height);
    if (notBlack > 0) {
        std::printf("picture_check: %ld pixels outside the picture are not black\n", notBlack);
        return 1;
    }

    DIR* dir = opendir(argv[2]);
    if (dir == nullptr)
        return 2;
    std::vector<int> frames;
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strlen(name) == 10 && std::strcmp(name + 6, ".png") == 0)
            frames.push_back(std::atoi(name));
    }
    closedir(dir);

    // A coarse pass picks the frame; the full comparison judges it.
    int best = -1;
    Score bestScore;
    Image frame;
    for (int number : frames) {
        char path[4096];
        std::snprintf(path, sizeof path, "%s/%06d.png", argv[2], number);
        if (!readPng(path, frame) || frame.width != pictureWidth || frame.height != pictureHeight)
            continue;
        Score score = compare(shot, frame, to, nearest, 8);
        if (score.mean < bestScore.mean) {
            bestScore = score;
            best = number;
        }
    }
    if (best < 0) {
        std::printf("picture_check: no frames in %s\n", argv[2]);
        return 2;
    }
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%06d.png", argv[2], best);
    readPng(path, frame);
    Score score = compare(shot, frame, to, nearest, 1);
    const std::string& scene = scenes[best];
    std::printf("best frame %d (%s): mean difference %.2f, %.3f%% of pixels off by more than 24\n", best,
                scene.empty() ? "loading" : scene.c_str(), score.mean, score.offShare * 100);
    if (score.mean > 3 || score.offShare > 0.01)
        return 1;
    return scene.empty() ? 3 : 0;
}
