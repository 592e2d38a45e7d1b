// What the plomvardix-capture end-to-end tests share: a scratch folder per test, running the real
// executable, reading its frame-step log (capture_log.h), its WAV and its PNG files.
#pragma once

#include "support/capture_log.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace capture_support {

struct Outcome {
    int status;
    std::string out, err;
};

inline std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Little-endian 32-bit word of a file's bytes.
inline uint32_t u32(const std::string& bytes, size_t at)
{
    uint32_t word = 0;
    for (int k = 3; k >= 0; --k)
        word = word << 8 | static_cast<unsigned char>(bytes[at + k]);
    return word;
}

// Runs plomvardix-capture from `from`, its standard output and error kept in `scratch`.
inline Outcome runCapture(const std::string& arguments, const fs::path& from, const fs::path& scratch)
{
    std::string command = "cd '" + from.string() + "' && " + std::string(CAPTURE_EXE) + " " + arguments + " >" +
                          (scratch / "stdout").string() + " 2>" + (scratch / "stderr").string();
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(scratch / "stdout"), slurp(scratch / "stderr")};
}

using capture_log::micros;
using capture_log::Step;

// The steps of a frame-step log; every line must be whole.
inline std::vector<Step> readSteps(const fs::path& log)
{
    size_t malformed = 0;
    std::vector<Step> steps = capture_log::readSteps(log.string(), &malformed);
    EXPECT_EQ(malformed, 0u) << log;
    return steps;
}

class Capture : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("capture_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::string& arguments, const fs::path& from = fs::current_path())
    {
        return runCapture(arguments, from, dir);
    }

    // The run with its log in the scratch folder.
    Outcome runLogged(const std::string& arguments, const fs::path& from = fs::current_path())
    {
        return run("--log '" + (dir / "log.csv").string() + "' " + arguments, from);
    }

    std::vector<std::vector<std::string>> logLines() { return capture_log::readLines((dir / "log.csv").string()); }
    std::vector<Step> steps() { return readSteps(dir / "log.csv"); }
};

}  // namespace capture_support
