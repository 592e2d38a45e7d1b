// plomvardix-capture's frame-step log (--log), read the one way every test and benchmark reads it:
// a header, then frame,seconds,order,row,scene,t per frame step.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace capture_log {

struct Step {
    long frame;
    std::string seconds;  // as written, to do exact sums with
    int order;
    int row;
    std::string scene;  // empty when the step rendered nothing
    double t;
};

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

// The lines of a log, header first, split into fields.
inline std::vector<std::vector<std::string>> readLines(const std::string& path)
{
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(splitCsv(line));
    return lines;
}

// The steps of a log; `malformed` counts the lines that are not six fields.
inline std::vector<Step> readSteps(const std::string& path, size_t* malformed = nullptr)
{
    std::vector<Step> steps;
    auto lines = readLines(path);
    for (size_t k = 1; k < lines.size(); ++k) {
        const auto& f = lines[k];
        if (f.size() != 6) {
            if (malformed)
                ++*malformed;
            continue;
        }
        steps.push_back({std::atol(f[0].c_str()), f[1], std::atoi(f[2].c_str()), std::atoi(f[3].c_str()), f[4],
                         std::atof(f[5].c_str())});  // t is empty when nothing rendered
    }
    return steps;
}

}  // namespace capture_log
