// plomvardix-capture: runs the demo from start to end on the offline back end and writes the frames,
// a log of the frame steps and the audio that were asked for.
#include "platform/audio_offline.h"
#include "platform/offline.h"
#include "platform/platform.h"
#include "png_writer.h"
#include "shell/driver.h"
#include "shell/scene.h"
#include "wav_writer.h"

#include <GL/gl.h>
#include <cxxabi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace {

const char usage[] =
    "Usage: plomvardix-capture [options]\n"
    "Runs zub.plomvardix headless (offscreen Mesa, virtual clock) from start to end.\n"
    "\n"
    "  --frames LIST        frames to write as PNG, e.g. 0,10,200-300 (needs --out)\n"
    "  --out DIR            folder for the PNG files, named by frame number (000120.png)\n"
    "  --log FILE           CSV, one line per frame step: frame,seconds,order,row,scene,t\n"
    "  --wav FILE           the audio heard during the run, as WAV\n"
    "  --keys LIST          scripted input, e.g. 120:space,900:escape; a key is pressed at its\n"
    "                       frame and released at the next; also close, minimize, restore\n"
    "  --fullscreen yes|no  the answer to \"fullscreen?\" (default no)\n"
    "  --fps N              frames per second of the virtual clock (default 60)\n"
    "  --lattice-at ORDER   show the lattice scene from ORDER (23 to 38) to the end\n"
    "  --help               this text\n";

struct FrameRange {
    uint64_t first, last;
};

struct Capture {
    std::vector<FrameRange> frames;
    std::string outDir;
    FILE* log = nullptr;
    uint64_t loggedSteps = 0;
    std::vector<unsigned char> pixels;
    WavWriter wav;
    bool wavOpen = false;
    // Class names of the scheduled scenes, taken while they live: the frame step that ends the
    // demo is logged at exit, when its scene has been deleted.
    std::vector<std::pair<const Scene*, std::string>> sceneNames;
} capture;

bool parseNumber(const std::string& text, uint64_t& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

bool parseFrames(const std::string& list)
{
    for (const std::string& item : split(list, ',')) {
        size_t dash = item.find('-');
        FrameRange range;
        if (dash == std::string::npos) {
            if (!parseNumber(item, range.first))
                return false;
            range.last = range.first;
        } else if (!parseNumber(item.substr(0, dash), range.first) ||
                   !parseNumber(item.substr(dash + 1), range.last) || range.last < range.first) {
            return false;
        }
        capture.frames.push_back(range);
    }
    return true;
}

bool parseKeys(const std::string& list)
{
    for (const std::string& item : split(list, ',')) {
        size_t colon = item.find(':');
        uint64_t frame;
        if (colon == std::string::npos || !parseNumber(item.substr(0, colon), frame))
            return false;
        std::string what = item.substr(colon + 1);
        bool scheduled;
        if (what == "close")
            scheduled = offline::scheduleEvent(frame, platform::EventType::Close);
        else if (what == "minimize" || what == "minimise")
            scheduled = offline::scheduleEvent(frame, platform::EventType::Minimized);
        else if (what == "restore")
            scheduled = offline::scheduleEvent(frame, platform::EventType::Restored);
        else if (offline::keyCode(what.c_str()) >= 0)
            scheduled = offline::scheduleKeyPress(frame, offline::keyCode(what.c_str()));
        else
            return false;
        if (!scheduled) {
            std::fprintf(stderr, "plomvardix-capture: too many scripted events\n");
            return false;
        }
    }
    return true;
}

bool frameWanted(uint64_t frame)
{
    for (const FrameRange& range : capture.frames)
        if (frame >= range.first && frame <= range.last)
            return true;
    return false;
}

std::string className(const Scene* scene)
{
    const char* mangled = typeid(*scene).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    return name;
}

const char* sceneName(const Scene* scene)
{
    for (const auto& entry : capture.sceneNames)
        if (entry.first == scene)
            return entry.second.c_str();
    capture.sceneNames.emplace_back(scene, className(scene));
    return capture.sceneNames.back().second.c_str();
}

// One line for the frame step run since the last one logged, if any; frame is the frame it drew.
void logFrameStep(uint64_t frame)
{
    if (!capture.log || frameReport.steps == capture.loggedSteps)
        return;
    capture.loggedSteps = frameReport.steps;
    uint64_t micros = offline::clockMicroseconds();
    std::fprintf(capture.log, "%llu,%llu.%06llu,%d,%d,", static_cast<unsigned long long>(frame),
                 static_cast<unsigned long long>(micros / 1000000),
                 static_cast<unsigned long long>(micros % 1000000), frameReport.order, frameReport.row);
    if (frameReport.rendered && frameReport.scene)
        std::fprintf(capture.log, "%s,%.6f\n", sceneName(frameReport.scene),
                     static_cast<double>(frameReport.t));
    else
        std::fprintf(capture.log, ",\n");
}

void onSwap(uint64_t frame)
{
    // Every frame must leave GL without a pending error; say so for each one that does not.
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        std::fprintf(stderr, "plomvardix-capture: GL error 0x%04x in frame %llu\n", error,
                     static_cast<unsigned long long>(frame));
    logFrameStep(frame);
    if (capture.outDir.empty() || !frameWanted(frame))
        return;
    capture.pixels.resize(offline::frameWidth * offline::frameHeight * 3);
    char name[32];
    std::snprintf(name, sizeof name, "%06llu.png", static_cast<unsigned long long>(frame));
    std::string path = (std::filesystem::path(capture.outDir) / name).string();
    if (!offline::readFrame(capture.pixels.data()) ||
        !writePng(path, capture.pixels.data(), offline::frameWidth, offline::frameHeight))
        std::fprintf(stderr, "plomvardix-capture: cannot write %s\n", path.c_str());
}

void onExit()
{
    // The last frame step (the one that ends the demo) has no swap after it.
    logFrameStep(offline::frameCount());
    if (capture.wavOpen && !capture.wav.finish())
        std::fprintf(stderr, "plomvardix-capture: cannot finish the WAV file\n");
    capture.wavOpen = false;
    if (capture.log) {
        if (std::fclose(capture.log) != 0)
            std::fprintf(stderr, "plomvardix-capture: cannot finish the log\n");
        capture.log = nullptr;
    }
}

int fail(const char* what, const char* argument)
{
    std::fprintf(stderr, "plomvardix-capture: %s: %s\n%s", what, argument, usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string logPath, wavPath;
    int32_t latticeAt = -1;
    for (int k = 1; k < argc; ++k) {
        std::string option = argv[k];
        if (option == "--help" || option == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (k + 1 >= argc)
            return fail("missing value or unknown option", argv[k]);
        const char* value = argv[++k];
        if (option == "--frames") {
            if (!parseFrames(value))
                return fail("bad frame list", value);
        } else if (option == "--out") {
            capture.outDir = value;
        } else if (option == "--log") {
            logPath = value;
        } else if (option == "--wav") {
            wavPath = value;
        } else if (option == "--keys") {
            if (!parseKeys(value))
                return fail("bad key list", value);
        } else if (option == "--fullscreen") {
            if (std::strcmp(value, "yes") && std::strcmp(value, "no"))
                return fail("--fullscreen takes yes or no", value);
            offline::setFullscreenAnswer(std::strcmp(value, "yes") == 0 ? platform::idYes : platform::idNo);
        } else if (option == "--fps") {
            uint64_t fps;
            if (!parseNumber(value, fps) || fps == 0 || fps > 100000)
                return fail("bad frame rate", value);
            offline::setFramesPerSecond(static_cast<int>(fps));
        } else if (option == "--lattice-at") {
            // Between the credits' start and the last order before the end.
            uint64_t order;
            if (!parseNumber(value, order) || order < 23 || order > 38) {
                std::fprintf(stderr, "plomvardix-capture: --lattice-at takes an order from 23 to 38, not '%s'\n", value);
                return 2;
            }
            latticeAt = static_cast<int32_t>(order);
        } else {
            return fail("unknown option", argv[k - 1]);
        }
    }
    if (!capture.frames.empty() && capture.outDir.empty())
        return fail("--frames needs", "--out DIR");

    // Paths are taken before the demo moves to its data folder.
    if (!capture.outDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(capture.outDir, error);
        capture.outDir = std::filesystem::absolute(capture.outDir).string();
    }
    if (!logPath.empty()) {
        capture.log = std::fopen(logPath.c_str(), "w");
        if (!capture.log)
            return fail("cannot write the log", logPath.c_str());
        std::fprintf(capture.log, "frame,seconds,order,row,scene,t\n");
    }
    if (!wavPath.empty()) {
        if (!capture.wav.open(wavPath))
            return fail("cannot write the WAV file", wavPath.c_str());
        capture.wavOpen = true;
        offline::setAudioSink([](const int16_t* stereo, uint32_t frames, uint32_t rate) {
            capture.wav.write(stereo, frames, rate);
        });
    }

    // The demo itself never names the lattice scene; this run's timeline does, from the chosen order.
    if (latticeAt >= 0)
        scheduleLatticeScene(latticeAt);
    for (const ScheduleEntry& entry : schedule)
        if (entry.scene)
            capture.sceneNames.emplace_back(entry.scene, className(entry.scene));
    offline::setSwapHook(onSwap);
    offline::addExitHook(onExit);
    // demoMain returns only when the window could not be made; outputs are finished either way.
    platform::exitProcess(demoMain());
}
