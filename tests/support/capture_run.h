// What the plomvardix-capture end-to-end tests share: a scratch folder per test, running the real
// executable, reading its frame-step log, its WAV and its PNG files.
#pragma once

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

// One line of the frame-step log: frame,seconds,order,row,scene,t.
struct Step {
    long frame;
    std::string seconds;  // as written, to do exact sums with
    int order;
    int row;
    std::string scene;  // empty when the step rendered nothing
    double t;
};

inline std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> splitCsv(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream row(line);
    std::string field;
    while (std::getline(row, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

// "12.345678" seconds as whole microseconds.
inline uint64_t micros(const std::string& seconds)
{
    const size_t dot = seconds.find('.');
    return std::stoull(seconds.substr(0, dot)) * 1000000 + std::stoull(seconds.substr(dot + 1));
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

// The lines of a frame-step log, header first.
inline std::vector<std::vector<std::string>> readLogLines(const fs::path& log)
{
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(splitCsv(line));
    return lines;
}

// The steps of a frame-step log.
inline std::vector<Step> readSteps(const fs::path& log)
{
    std::vector<Step> steps;
    auto lines = readLogLines(log);
    for (size_t k = 1; k < lines.size(); ++k) {
        const auto& f = lines[k];
        EXPECT_EQ(f.size(), 6u) << "log line " << k;
        if (f.size() == 6)
            steps.push_back({std::atol(f[0].c_str()), f[1], std::atoi(f[2].c_str()), std::atoi(f[3].c_str()), f[4],
                             std::atof(f[5].c_str())});  // t is empty when nothing rendered
    }
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

    std::vector<std::vector<std::string>> logLines() { return readLogLines(dir / "log.csv"); }
    std::vector<Step> steps() { return readSteps(dir / "log.csv"); }
};

}  // namespace capture_support
