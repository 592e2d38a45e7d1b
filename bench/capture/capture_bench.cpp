// bench_capture: the cost of the capture's outputs. Renders the same span of the demo with
// plomvardix-capture three ways, with no output, with every frame as PNG and as a video, and prints
// frames per second and each way's time against rendering only, with the machine's load beside.
// The processor time of each way is printed too: on a busy machine it says what a way costs far
// more steadily than the wall time, which follows the other work on the machine. The ways take
// turns, one round after another, and each round's ratios are taken within the round: a shared
// machine drifts between rounds far more than within one, so the median of those ratios is the
// figure to quote.
//
//   bench_capture [--scene titles|ring] [--frames N] [--repeat R]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// User and system seconds of every child reaped so far.
double childCpu()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timing {
    double wall = -1, cpu = -1;  // negative when the run failed
};

Timing timed(const std::string& command)
{
    double cpuBefore = childCpu();
    auto start = std::chrono::steady_clock::now();
    int raw = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0)
        return {};
    return {seconds, childCpu() - cpuBefore};
}

void keepLeast(double& best, double value)
{
    if (value > 0 && (best < 0 || value < best))
        best = value;
}

constexpr int maxRepeat = 50;

struct Spread {
    double median, least, most;
};

Spread spreadOf(const double* values, int count)
{
    std::array<double, maxRepeat> sorted{};
    std::copy(values, values + count, sorted.begin());
    std::sort(sorted.begin(), sorted.begin() + count);
    double median = count % 2 ? sorted[count / 2] : (sorted[count / 2 - 1] + sorted[count / 2]) / 2;
    return {median, sorted[0], sorted[count - 1]};
}

double load()
{
    std::ifstream in("/proc/loadavg");
    double value = -1;
    in >> value;
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string scene = "ring";
    long frames = 600;
    int repeat = 5;
    for (int k = 1; k + 1 < argc; k += 2) {
        if (!std::strcmp(argv[k], "--scene"))
            scene = argv[k + 1];
        else if (!std::strcmp(argv[k], "--frames"))
            frames = std::atol(argv[k + 1]);
        else if (!std::strcmp(argv[k], "--repeat"))
            repeat = std::atoi(argv[k + 1]);
    }
    if ((scene != "ring" && scene != "titles") || frames < 10 || repeat < 1 || repeat > maxRepeat) {
        std::fprintf(stderr, "usage: bench_capture [--scene titles|ring] [--frames N] [--repeat R]\n");
        return 2;
    }

    // Space seven times reaches the ring scene (order 7); the titles are there from the start.
    const long begin = 30;
    std::string keys;
    long skip = scene == "ring" ? 7 : 0;
    for (long k = 0; k < skip; ++k)
        keys += std::to_string(begin + 2 * k) + ":space,";
    const long first = begin + 2 * skip + 2;  // the span starts once the music is there
    const long end = first + frames;

    fs::path scratch = fs::temp_directory_path() / ("bench_capture_" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    const std::string exe = CAPTURE_EXE;
    const std::string quiet = " --quiet >/dev/null 2>" + (scratch / "stderr").string();

    struct Way {
        const char* name;
        std::string options;
        double wall[maxRepeat] = {}, cpu[maxRepeat] = {};
        double loadSum = 0;
    } ways[] = {
        {"render only", ""},
        {"PNG frames", " --frames " + std::to_string(first) + "-" + std::to_string(end) + " --out " + (scratch / "png").string()},
        {"video (mp4)", " --video " + (scratch / "run.mp4").string()},
    };
    // Everything up to the span (start-up, loading, the skipped orders) is timed alone and taken off.
    double lead = -1, leadCpu = -1;
    for (int r = 0; r < repeat; ++r) {
        Timing t = timed(exe + " --keys " + keys + std::to_string(first) + ":escape" + quiet);
        keepLeast(lead, t.wall);
        keepLeast(leadCpu, t.cpu);
        for (Way& way : ways) {
            fs::remove_all(scratch / "png");
            double before = load();
            t = timed(exe + " --keys " + keys + std::to_string(end) + ":escape" + way.options + quiet);
            way.loadSum += (before + load()) / 2;
            if (t.wall < 0) {
                std::fprintf(stderr, "bench_capture: the %s run failed (see %s)\n", way.name,
                             (scratch / "stderr").string().c_str());
                return 1;
            }
            way.wall[r] = t.wall;
            way.cpu[r] = t.cpu;
        }
    }
    fs::remove_all(scratch);

    std::printf("capture of %ld frames of the %s scene at 60 fps, %d rounds (start-up, %.2f s, taken off)\n",
                frames, scene.c_str(), repeat, lead);
    std::printf("medians of the rounds; the ratios are each round's own, least to most in brackets\n");
    std::printf("%-12s %8s %9s %12s %18s %7s %18s %6s\n", "", "seconds", "frames/s", "x real time", "ratio", "cpu s",
                "cpu ratio", "load");
    for (const Way& way : ways) {
        double spans[maxRepeat], ratios[maxRepeat], cpus[maxRepeat], cpuRatios[maxRepeat];
        for (int r = 0; r < repeat; ++r) {
            spans[r] = std::max(way.wall[r] - lead, 1e-3);
            ratios[r] = spans[r] / std::max(ways[0].wall[r] - lead, 1e-3);
            cpus[r] = std::max(way.cpu[r] - leadCpu, 1e-3);
            cpuRatios[r] = cpus[r] / std::max(ways[0].cpu[r] - leadCpu, 1e-3);
        }
        Spread span = spreadOf(spans, repeat), ratio = spreadOf(ratios, repeat);
        Spread cpu = spreadOf(cpus, repeat), cpuRatio = spreadOf(cpuRatios, repeat);
        std::printf("%-12s %8.2f %9.1f %12.2f %6.2f (%.2f-%.2f) %7.2f %6.2f (%.2f-%.2f) %6.2f\n", way.name,
                    span.median, frames / span.median, frames / 60.0 / span.median, ratio.median, ratio.least,
                    ratio.most, cpu.median, cpuRatio.median, cpuRatio.least, cpuRatio.most, way.loadSum / repeat);
    }
    std::printf("machine: %ld cores\n", ::sysconf(_SC_NPROCESSORS_ONLN));
    return 0;
}
