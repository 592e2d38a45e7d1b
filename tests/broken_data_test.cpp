// Every data file broken three ways (missing, cut to half its length, replaced by random bytes of
// its length), and the module and one picture replaced by a FIFO and by a folder, one case each,
// through the offline runner: the demo runs on and ends normally, the loader prints exactly its
// texts (a FIFO or a folder as a missing file), and a module that cannot be loaded keeps the first
// scene until Escape and says so on standard error.
#include "support/capture_run.h"
#include "support/data_pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The module and every picture the scenes load.
std::vector<std::string> dataFiles()
{
    std::vector<std::string> files = {"glimo.it"};
    for (const auto& [name, bits] : testsupport::pictureBits)
        files.push_back(name);
    return files;
}

enum class Damage { missing, halved, random, fifo, folder };
const char* const damageNames[] = {"missing", "halved", "random", "fifo", "folder"};

struct Case {
    std::string file;
    Damage damage;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.file << " " << damageNames[static_cast<int>(c.damage)];
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (const std::string& file : dataFiles())
        for (Damage damage : {Damage::missing, Damage::halved, Damage::random})
            cases.push_back({file, damage});
    // Not a regular file: the same for every picture, so one picture stands for them.
    for (const char* file : {"glimo.it", "allez.tga"})
        for (Damage damage : {Damage::fifo, Damage::folder})
            cases.push_back({file, damage});
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    std::string name = info.param.file;
    for (char& c : name)
        if (c == '.')
            c = '_';
    return name + "_" + damageNames[static_cast<int>(info.param.damage)];
}

using namespace capture_support;

void damage(const fs::path& path, Damage how, unsigned seed)
{
    if (how != Damage::halved && how != Damage::random)
        fs::remove(path);
    if (how == Damage::fifo) {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    if (how == Damage::folder)
        fs::create_directory(path);
    if (how != Damage::halved && how != Damage::random)
        return;
    auto size = fs::file_size(path);
    if (how == Damage::halved) {
        fs::resize_file(path, size / 2);
        return;
    }
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Space every other frame once the scenes run, more presses than there are orders, then Escape.
const int escapeFrame = 140;

std::string keyScript()
{
    std::string keys;
    for (int frame = 30; frame < 30 + 2 * 45; frame += 2)
        keys += std::to_string(frame) + ":space,";
    return keys + std::to_string(escapeFrame) + ":escape";
}

struct DemoRun : Outcome {
    std::vector<Step> log;
};

// Runs the offline runner in `dir` (which holds data/) with the key script.
DemoRun capture(const fs::path& dir)
{
    const Outcome outcome = runCapture("--log log.csv --keys " + keyScript(), dir, dir);
    return {outcome, readSteps(dir / "log.csv")};
}

// A folder with data/ made of links to the intact files, except `damaged`, which is a copy.
fs::path makeDataFolder(const std::string& name, const std::string& damaged)
{
    fs::path dir = fs::temp_directory_path() / ("broken_data_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
    for (const std::string& file : dataFiles()) {
        if (file == damaged)
            fs::copy_file(fs::path(DATA_DIR) / file, dir / "data" / file);
        else
            fs::create_symlink(fs::path(DATA_DIR) / file, dir / "data" / file);
    }
    return dir;
}

// What the loader prints with the data intact: the pictures the scenes load, in their order, each
// "-> ok". Which pictures those are is the scenes' business, so it is measured once per build of
// the runner and kept beside it.
const std::string& intactOutput()
{
    static std::string output;
    if (!output.empty())
        return output;
    auto stamp = fs::last_write_time(CAPTURE_EXE).time_since_epoch().count();
    fs::path cached = fs::current_path() / ("broken_data_intact_" + std::to_string(stamp) + ".txt");
    if (fs::exists(cached)) {
        output = slurp(cached);
        return output;
    }
    fs::path dir = makeDataFolder("intact", "");
    DemoRun run = capture(dir);
    fs::remove_all(dir);
    EXPECT_EQ(run.status, 0) << run.err;
    // Only whole lines of the loader's two texts.
    std::stringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string prefix = "Loading texture data/", suffix = ".tga-> ok";
        bool whole = line.size() > prefix.size() + suffix.size() && line.compare(0, prefix.size(), prefix) == 0 &&
                     line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0;
        EXPECT_TRUE(whole) << line;
    }
    EXPECT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), '\n');
    if (::testing::Test::HasFailure())
        return output;
    output = run.out;
    fs::path part = cached;
    part += "." + std::to_string(::getpid());
    std::ofstream(part, std::ios::binary) << output;
    fs::rename(part, cached);
    return output;
}

class BrokenData : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(BrokenData, TheDemoRunsOnAndEndsNormally)
{
    const Case& c = GetParam();
    std::string intact = intactOutput();
    ASSERT_FALSE(intact.empty()) << "the run with intact data failed";

    fs::path dir = makeDataFolder(caseName({c, 0}), c.file);
    unsigned seed = 1;
    for (char ch : caseName({c, 0}))
        seed = seed * 31 + static_cast<unsigned char>(ch);
    damage(dir / "data" / c.file, c.damage, seed);
    // Whoever opens the FIFO to read is stuck until a writer comes: one comes at once, so that a
    // loader that opens it fails this case instead of hanging it.
    std::atomic<bool> done{false};
    std::atomic<bool> opened{false};
    std::thread writer;
    if (c.damage == Damage::fifo)
        writer = std::thread([&] {
            const std::string fifo = (dir / "data" / c.file).string();
            while (!done) {
                int descriptor = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // succeeds only with a reader
                if (descriptor >= 0) {
                    opened = true;
                    ::close(descriptor);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    DemoRun run = capture(dir);
    done = true;
    if (writer.joinable())
        writer.join();
    fs::remove_all(dir);
    EXPECT_FALSE(opened) << "the FIFO was opened";

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("GL error"), std::string::npos) << run.err;

    // Each load of the damaged picture prints its text without "-> ok"; every other picture loads.
    // None of the damage leaves a header the loader accepts.
    // A data/ without the module is not the demo's: the runner takes the intact one beside it.
    bool notData = c.file == "glimo.it" && c.damage == Damage::missing;
    std::string expected = intact;
    std::string whole = "data/" + c.file + "-> ok\n";
    for (size_t at = expected.find(whole); !notData && at != std::string::npos; at = expected.find(whole, at))
        expected.erase(at + whole.size() - 6, 6);
    EXPECT_EQ(run.out, expected);

    ASSERT_FALSE(run.log.empty());
    const std::string moduleLine = "plomvardix: the module data/glimo.it could not be loaded";
    bool moduleLost = c.file == "glimo.it" && c.damage == Damage::random;
    if (moduleLost) {
        EXPECT_NE(run.err.find(moduleLine), std::string::npos) << run.err;
        for (const Step& line : run.log) {
            EXPECT_EQ(line.order, 0);
            if (!line.scene.empty()) {
                EXPECT_EQ(line.scene, "TitleScene");
            }
        }
        EXPECT_EQ(run.log.back().scene, "TitleScene") << "the run ends on Escape";
    } else {
        EXPECT_EQ(run.err.find(moduleLine), std::string::npos) << run.err;
        // The presses take the music through every order to 39, which ends the demo.
        EXPECT_EQ(run.log.back().order, 39);
        EXPECT_EQ(run.log.back().scene, "");
        EXPECT_LT(run.log.size(), static_cast<size_t>(escapeFrame));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFile, BrokenData, ::testing::ValuesIn(allCases()), caseName);
