// plomvardix-capture --lattice-at end to end: the lattice scene named in the timeline from a
// chosen order, reached with Space, and the option's wrong values.
#include <gtest/gtest.h>
#include <png.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string err;
    std::vector<std::vector<std::string>> log;  // without the header
};

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ','))
        out.push_back(field);
    if (!line.empty() && line.back() == ',')
        out.emplace_back();
    return out;
}

Outcome capture(const fs::path& dir, const std::string& arguments)
{
    const std::string command = std::string(CAPTURE_EXE) + " --log '" + (dir / "log.csv").string() + "' " + arguments +
                                " >/dev/null 2>'" + (dir / "err").string() + "'";
    const int raw = std::system(command.c_str());
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {}, {}};
    std::ifstream err(dir / "err");
    std::stringstream text;
    text << err.rdbuf();
    outcome.err = text.str();
    std::ifstream log(dir / "log.csv");
    std::string line;
    std::getline(log, line);
    while (std::getline(log, line))
        outcome.log.push_back(fields(line));
    return outcome;
}

class LatticeCapture : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("lattice_capture_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
};

}  // namespace

TEST_F(LatticeCapture, WrongOrdersAreRefusedWithOneLine)
{
    for (const char* bad : {"22", "39", "0", "-3", "37x", "", "99999999999999999999"}) {
        Outcome r = capture(dir, std::string("--lattice-at '") + bad + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--lattice-at"), std::string::npos) << bad;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line for '" << bad << "': " << r.err;
    }
}

// Space 39 times from frame 200 on: one order every ten frames, order 37 from frame 560, 39 at 580.
TEST_F(LatticeCapture, LatticeAtThirtySevenFollowsTheCreditsAndTheDemoStillEndsAtThirtyNine)
{
    std::string keys;
    for (int i = 0; i < 39; ++i)
        keys += (i ? "," : "") + std::to_string(200 + 10 * i) + ":space";
    Outcome r = capture(dir, "--lattice-at 37 --keys " + keys + " --frames 575 --out '" + (dir / "frames").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("GL error"), std::string::npos) << r.err;
    ASSERT_FALSE(r.log.empty());

    bool entered = false;
    for (const auto& step : r.log) {
        ASSERT_GE(step.size(), 6u);
        const int order = std::atoi(step[2].c_str());
        const std::string& scene = step[4];
        if (scene.empty())
            continue;
        if (order >= 23 && order <= 36) {
            EXPECT_EQ(scene, "CreditsScene") << "order " << order;
        } else if (order >= 37) {
            EXPECT_EQ(scene, "LatticeScene") << "order " << order;
            if (!entered) {
                EXPECT_EQ(std::atof(step[5].c_str()), 0.0) << "t = 0 on the frame of its enter";
            }
            entered = true;
        }
    }
    EXPECT_TRUE(entered) << "the lattice scene was never rendered";
    EXPECT_EQ(std::atoi(r.log.back()[2].c_str()), 39);
    EXPECT_TRUE(r.log.back()[4].empty()) << "the step that reaches order 39 renders nothing";

    // A lattice frame: the red clear shows in the corners.
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir / "frames" / "000575.png").c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0);
    EXPECT_EQ(rgb[2], 0);
}
