// plomvardix-capture end to end: the real executable, its options, PNG frames, the frame-step log
// and the exit status.
#include "../tools/capture/png_writer.h"
#include "platform/offline.h"
#include "support/capture_run.h"
#include "support/png_file.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace {

using namespace capture_support;

TEST_F(Capture, HelpAndBadOptions)
{
    Outcome help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--frames"), std::string::npos);
    EXPECT_NE(help.out.find("--fullscreen"), std::string::npos);
    EXPECT_NE(help.out.find("--video"), std::string::npos);

    fs::create_directories(dir / "folder");
    std::ofstream(dir / "file") << "x";
    const std::string folder = (dir / "folder").string(), file = (dir / "file").string();
    const std::vector<std::string> bad = {
        "--bogus 1", "--log", "--frames 5-2 --out x", "--frames a --out x", "--frames 1- --out x",
        "--frames 1,,2 --out x", "--frames -3 --out x", "--frames '' --out x", "--frames 3",
        "--frames 99999999999999999999999 --out x", "--keys 10:nokey", "--keys space", "--keys 10:",
        "--keys x:space", "--keys -1:space", "--fps 0", "--fps -5", "--fps 1001", "--fps 100000", "--fps 2.5",
        "--fps 99999999999999999999", "--fullscreen maybe", "--frames 0 --out /proc/x", "--frames 0 --out " + file,
        "--frames 0 --out " + file + "/sub", "--log " + folder, "--wav " + folder, "--log /proc/x/log.csv",
        "--wav " + file + "/a.wav", "--video " + folder, "--scale 2"};
    for (const std::string& arguments : bad) {
        Outcome r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        // One line, and before the window: the demo has not yet asked its question.
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << arguments << ": " << r.err;
        EXPECT_EQ(r.err.rfind("plomvardix-capture: ", 0), 0u) << arguments << ": " << r.err;
    }
    EXPECT_TRUE(fs::is_empty(dir / "folder"));

    // A long key list with one bad item: the message quotes that item, not the list.
    std::string keys;
    for (int k = 0; k < 1500; ++k)
        keys += std::to_string(100 + k) + ":space,";
    Outcome r = run("--keys " + keys + "5:nokey");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("\"nokey\""), std::string::npos) << r.err;
    EXPECT_LT(r.err.size(), 200u) << r.err;
}

// An output that cannot be written completely fails the run, and nothing half-written is left under
// its name.
TEST_F(Capture, OutputsThatFailFailTheRun)
{
    for (const char* output : {"--log /dev/full", "--wav /dev/full"}) {
        Outcome r = run(std::string(output) + " --keys 20:escape");
        EXPECT_NE(r.status, 0) << output;
        EXPECT_NE(r.err.find("plomvardix-capture: cannot write"), std::string::npos) << output << ": " << r.err;
    }
    // A file size limit stands in for a full disk: the PNG files cannot be written wholly.
    std::string command = "ulimit -f 2; trap '' XFSZ; exec " + std::string(CAPTURE_EXE) + " --quiet --frames 0-30 --out " +
                          (dir / "png").string() + " --log " + (dir / "log.csv").string() +
                          " --keys 40:escape >/dev/null 2>" + (dir / "stderr").string();
    int raw = std::system(("sh -c \"" + command + "\"").c_str());
    EXPECT_NE(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0);
    // The reason comes with it.
    EXPECT_NE(slurp(dir / "stderr").find(".png: File too large"), std::string::npos) << slurp(dir / "stderr");
    for (const auto& entry : fs::directory_iterator(dir / "png"))
        ADD_FAILURE() << "left behind: " << entry.path();
    EXPECT_FALSE(fs::exists(dir / "log.csv")) << "a failed run leaves no log looking complete";
}

TEST_F(Capture, WritesChosenFramesAndOneLogLinePerFrameStep)
{
    Outcome r = runLogged("--frames 0,1-2 --out " + (dir / "frames").string() + " --keys 40:escape");
    // The "fullscreen?" question went to standard error and was answered No.
    EXPECT_NE(r.err.find("zub.plomvardix: fullscreen?"), std::string::npos);
    EXPECT_EQ(r.status, 0) << r.err;

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "frames"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"000000.png", "000001.png", "000002.png"}));
    for (const std::string& name : names) {
        int width = 0, height = 0;
        std::vector<unsigned char> rgb = readPng(dir / "frames" / name, width, height);
        ASSERT_FALSE(rgb.empty()) << name;
        EXPECT_EQ(width, 640);
        EXPECT_EQ(height, 480);
        // The loading bar's clear colour (0.35, 0.05, 0.35) in the top-left corner.
        EXPECT_NEAR(rgb[0], 89, 1);
        EXPECT_NEAR(rgb[1], 13, 1);
        EXPECT_NEAR(rgb[2], 89, 1);
    }

    EXPECT_EQ(logLines().at(0), (std::vector<std::string>{"frame", "seconds", "order", "row", "scene", "t"}));
    const std::vector<Step> run = steps();
    ASSERT_GE(run.size(), 2u);
    for (size_t k = 1; k < run.size(); ++k)
        EXPECT_EQ(run[k].frame, run[k - 1].frame + 1) << "a frame step per frame";
    EXPECT_EQ(run.back().frame, 40);  // Escape is taken after the frame step of its frame
    EXPECT_GT(std::stod(run.back().seconds), 40 / 60.0 + 1.0);
}

TEST_F(Capture, MinimisedFramesDrawNothingAndCloseEndsTheRun)
{
    Outcome r = runLogged("--keys 30:minimize,35:restore,40:close --fps 30 --fullscreen yes");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<Step> run = steps();
    ASSERT_GE(run.size(), 2u);
    for (const Step& step : run)
        EXPECT_TRUE(step.frame < 30 || step.frame >= 35) << "frame step while minimised at " << step.frame;
    // Close is taken at the next message pass, before that frame's step.
    EXPECT_EQ(run.back().frame, 39);
    // At 30 frames per second, frame steps one after another are 1/30 s apart.
    EXPECT_NEAR(std::stod(run[1].seconds) - std::stod(run[0].seconds), 1 / 30.0, 1e-6);
}

// Any picture comes back exactly from the frame writer's own PNG files, a picture that does not
// compress at all too (the file must have room for it), one given bottom row first, and a folder
// that is not there fails.
TEST(PngEncoder, EveryPictureReadsBackExactly)
{
    const int width = 64, height = 48;
    std::vector<unsigned char> flat(width * height * 3, 200), ramp(flat.size()), noise(flat.size());
    for (size_t k = 0; k < ramp.size(); ++k)
        ramp[k] = static_cast<unsigned char>(k * 7 + k / 192);
    std::mt19937 random(13);
    for (unsigned char& byte : noise)
        byte = static_cast<unsigned char>(random());

    fs::path dir = fs::temp_directory_path() / ("png_encoder_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    PngEncoder encoder(width, height);
    for (const auto* picture : {&flat, &ramp, &noise, &flat}) {
        fs::path file = dir / "frame.png";
        ASSERT_TRUE(encoder.write(file.c_str(), picture->data()));
        int w = 0, h = 0;
        EXPECT_EQ(readPng(file, w, h), *picture);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        if (picture == &flat) {
            EXPECT_LT(fs::file_size(file), 200u);
        }
    }
    // Frames straight from GL come bottom row first, and are written the right way up.
    std::vector<unsigned char> upsideDown(noise.size());
    for (int y = 0; y < height; ++y)
        std::copy_n(noise.begin() + y * width * 3, width * 3, upsideDown.end() - (y + 1) * width * 3);
    ASSERT_TRUE(encoder.write((dir / "frame.png").c_str(), upsideDown.data(), offline::RowOrder::BottomFirst));
    int w = 0, h = 0;
    EXPECT_EQ(readPng(dir / "frame.png", w, h), noise);
    EXPECT_FALSE(encoder.write((dir / "missing" / "frame.png").c_str(), flat.data()));
    fs::remove_all(dir);
}

// Frames come faster than the idle-priority writer can take them, so the renderer writes some
// itself: every frame still lands whole, under its own number, the right way up.
TEST(PngOutput, EveryFrameIsWrittenWhoeverWritesIt)
{
    fs::path dir = fs::temp_directory_path() / ("png_output_" + std::to_string(::getpid()));
    const int width = offline::frameWidth, height = offline::frameHeight, frames = 12;
    auto pixel = [](int frame, int row, int column) {
        return static_cast<unsigned char>(frame * 20 + row + column);
    };
    {
        PngOutput png(dir.string(), {{100, 100 + frames - 1}});
        std::string error;
        ASSERT_TRUE(png.open(error)) << error;
        std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
        for (int frame = 0; frame < frames + 2; ++frame) {
            for (int row = 0; row < height; ++row)  // GL's order: bottom row first
                std::memset(rgb.data() + (height - 1 - row) * width * 3, pixel(frame, row, 0), width * 3);
            rgb[0] = pixel(frame, height - 1, 1);
            Frame made;
            made.number = static_cast<uint64_t>(99 + frame);
            made.buffer = rgb.data();
            made.read = true;  // already filled, not read from GL
            ASSERT_TRUE(png.frame(made)) << png.failure();
        }
        ASSERT_TRUE(png.finish(RunEnd(), error)) << error;
    }
    for (int frame = 1; frame <= frames; ++frame) {
        int w = 0, h = 0;
        char name[16];
        std::snprintf(name, sizeof name, "%06d.png", 99 + frame);
        std::vector<unsigned char> rgb = readPng(dir / name, w, h);
        ASSERT_EQ(rgb.size(), static_cast<size_t>(width) * height * 3) << name;
        EXPECT_EQ(rgb[0], pixel(frame, 0, 0)) << name;
        EXPECT_EQ(rgb[(height - 1) * width * 3], pixel(frame, height - 1, 1)) << name;
        EXPECT_EQ(rgb[(height - 1) * width * 3 + 3], pixel(frame, height - 1, 0)) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), frames)
        << "only the frames asked for, and no .part left";
    fs::remove_all(dir);
}

// Started from a folder without data/, the demo moves to its executable's folder, which has it.
TEST_F(Capture, FindsTheDataFromAnyWorkingDirectory)
{
    Outcome r = run("--keys 20:escape", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = r.out.find(what); at != std::string::npos; at = r.out.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_GT(count("Loading texture"), 0u);
    EXPECT_EQ(count("-> ok\n"), count("Loading texture")) << r.out;
}

}  // namespace
