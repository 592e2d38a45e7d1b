// What the plomvardix-capture end-to-end tests share: a scratch folder per test, running the real
// executable, reading its log and its PNG files.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <sys/wait.h>
#include <unistd.h>

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
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
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
        std::string command = "cd '" + from.string() + "' && " + std::string(CAPTURE_EXE) + " " + arguments + " >" + (dir / "stdout").string() +
                              " 2>" + (dir / "stderr").string();
        int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "stdout"), slurp(dir / "stderr")};
    }

    std::vector<std::vector<std::string>> logLines()
    {
        std::vector<std::vector<std::string>> lines;
        std::ifstream in(dir / "log.csv");
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> fields;
            std::stringstream row(line);
            std::string field;
            while (std::getline(row, field, ','))
                fields.push_back(field);
            if (!line.empty() && line.back() == ',')
                fields.push_back("");
            lines.push_back(fields);
        }
        return lines;
    }
};

// Reads a PNG as RGB; empty when it cannot be read.
inline std::vector<unsigned char> readPng(const fs::path& path, int& width, int& height)
{
    std::vector<unsigned char> rgb;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return rgb;
    image.format = PNG_FORMAT_RGB;
    width = image.width;
    height = image.height;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        rgb.clear();
    return rgb;
}

}  // namespace capture_support
