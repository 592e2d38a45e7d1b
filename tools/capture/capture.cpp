// plomvardix-capture: runs the demo from start to end on the offline back end and writes the frames,
// a log of the frame steps and the audio that were asked for.
#include "platform/audio_offline.h"
#include "platform/offline.h"
#include "platform/platform.h"
#include "output_file.h"
#include "png_writer.h"
#include "progress.h"
#include "shell/driver.h"
#include "shell/scene.h"
#include "video_writer.h"
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
    "  --video FILE         every frame and the sound as a video: .mp4 (H.264 + AAC) or .mkv\n"
    "  --lossless           with --video FILE.mkv: FFV1 + FLAC instead\n"
    "  --scale N            enlarge the video's frames N times, nearest neighbour (1 to 4, default 1)\n"
    "  --crf N              H.264 quality, 0 (lossless) to 51 (default 18)\n"
    "  --preset NAME        H.264 speed preset, ultrafast to placebo (default veryfast)\n"
    "  --keys LIST          scripted input, e.g. 120:space,900:escape; a key is pressed at its\n"
    "                       frame and released at the next; also close, minimize, restore\n"
    "  --fullscreen yes|no  the answer to \"fullscreen?\" (default no)\n"
    "  --fps N              frames per second of the virtual clock, 1 to 1000 (default 60)\n"
    "  --lattice-at ORDER   show the lattice scene from ORDER (23 to 38) to the end\n"
    "  --quiet              no progress on standard error\n"
    "  --help               this text\n";

// Beyond any real run (1000 frames a second for hours), small enough for no arithmetic to overflow.
constexpr uint64_t maxFrame = 100000000;
// Exit status when an output could not be written completely.
constexpr int outputFailed = 3;

struct FrameRange {
    uint64_t first, last;
};

struct Capture {
    std::vector<FrameRange> frames;
    std::string outDir;
    PngQueue png;
    bool pngStarted = false;

    OutputFile logFile;
    FILE* log = nullptr;
    uint64_t loggedSteps = 0;

    OutputFile wavFile;
    WavWriter wav;
    bool wavOpen = false;

    VideoWriter video;
    bool videoOpen = false;
    uint64_t audioSkipped = 0;  // samples heard during sleeps, left out of the video

    Progress progress;
    bool finished = false;
    // Class names of the scheduled scenes, taken while they live: the frame step that ends the
    // demo is logged at exit, when its scene has been deleted.
    std::vector<std::pair<const Scene*, std::string>> sceneNames;
} capture;

bool parseNumber(const std::string& text, uint64_t& value, uint64_t most = maxFrame)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && value <= most;
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

// Empty when the list is good; else why not. endFrame becomes the first frame a scripted
// Escape or close ends the run at.
std::string parseKeys(const std::string& list, uint64_t& endFrame)
{
    for (const std::string& item : split(list, ',')) {
        size_t colon = item.find(':');
        uint64_t frame;
        if (colon == std::string::npos || !parseNumber(item.substr(0, colon), frame))
            return "bad key list (FRAME:KEY items, frames up to " + std::to_string(maxFrame) + ")";
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
            return "unknown key \"" + what + "\" in the key list";
        if (!scheduled)
            return "too many scripted events in the key list";
        if ((what == "close" || offline::keyCode(what.c_str()) == 27) && (endFrame == 0 || frame + 1 < endFrame))
            endFrame = frame + 1;
    }
    return "";
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

void finishOutputs();

// An output has failed while the run goes on: there is no point in rendering the rest.
void stopOnFailure()
{
    bool failed = (capture.pngStarted && capture.png.failed()) || (capture.videoOpen && capture.video.failed()) ||
                  (capture.log && std::ferror(capture.log)) || (capture.wavOpen && capture.wav.failed());
    if (failed)
        platform::exitProcess(outputFailed);
}

void onSwap(uint64_t frame)
{
    // Every frame must leave GL without a pending error; say so for each one that does not.
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        std::fprintf(stderr, "plomvardix-capture: GL error 0x%04x in frame %llu\n", error,
                     static_cast<unsigned long long>(frame));
    logFrameStep(frame);
    capture.progress.update(frame, frameReport.order, frameReport.row);
    stopOnFailure();

    bool wantPng = capture.pngStarted && frameWanted(frame);
    if (!wantPng && !capture.videoOpen)
        return;
    // Read once, into the first consumer's free buffer; the writers work on their own threads.
    unsigned char* pixels = wantPng ? capture.png.frameBuffer() : capture.video.frameBuffer();
    if (pixels && !offline::readFrame(pixels, offline::RowOrder::BottomFirst)) {
        std::fprintf(stderr, "plomvardix-capture: cannot read frame %llu\n", static_cast<unsigned long long>(frame));
        platform::exitProcess(outputFailed);
    }
    if (!pixels)
        platform::exitProcess(outputFailed);
    if (wantPng && capture.videoOpen) {
        unsigned char* copy = capture.video.frameBuffer();
        if (!copy)
            platform::exitProcess(outputFailed);
        std::memcpy(copy, pixels, static_cast<size_t>(offline::frameWidth) * offline::frameHeight * 3);
    }
    if (wantPng)
        capture.png.push(frame);
    if (capture.videoOpen)
        capture.video.pushFrame();
}

// The lockstep sound, from virtual time 0. The video leaves out what was heard during the loading
// sequence's sleeps, which have no frame (the music plays there already, and starts again from
// order 0 with the first scene frame), so that frame n is shown at n / fps with its own sound.
void onAudio(const int16_t* stereo, uint32_t frames, uint32_t rate)
{
    if (capture.wavOpen)
        capture.wav.write(stereo, frames, rate);
    if (!capture.videoOpen)
        return;
    if (rate != VideoWriter::sampleRate) {
        std::fprintf(stderr, "plomvardix-capture: the sound comes at %u Hz, the video takes %d\n", rate,
                     VideoWriter::sampleRate);
        platform::exitProcess(outputFailed);
    }
    // A sleep advances the clock without a swap; the sound of that advance comes in this call.
    uint64_t fps = static_cast<uint64_t>(offline::framesPerSecond());
    uint64_t slept = offline::clockMicroseconds() - offline::frameCount() * 1000000 / fps;
    uint64_t owed = slept * rate / 1000000 - capture.audioSkipped;
    uint64_t drop = owed < frames ? owed : frames;
    capture.audioSkipped += drop;
    if (drop < frames)
        capture.video.pushAudio(stereo + drop * 2, static_cast<uint32_t>(frames - drop));
}

void onExit()
{
    finishOutputs();
}

// Finishes every output; a run whose outputs are not all complete ends with outputFailed.
void finishOutputs()
{
    if (capture.finished)
        return;
    capture.finished = true;
    // The last frame step (the one that ends the demo) has no swap after it.
    logFrameStep(offline::frameCount());
    capture.progress.finish();
    bool ok = true;
    auto report = [&](const std::string& what) {
        std::fprintf(stderr, "plomvardix-capture: %s\n", what.c_str());
        ok = false;
    };
    if (capture.pngStarted && !capture.png.finish())
        report(capture.png.failure());
    if (capture.videoOpen) {
        std::string error;
        // After a failure elsewhere the video is dropped unfinished.
        if (!ok || (capture.log && std::ferror(capture.log)) || (capture.wavOpen && capture.wav.failed())) {
            capture.video.abandon();
        } else if (!capture.video.finish(error)) {
            report(error);
        }
        capture.videoOpen = false;
    }
    // After a failure the run stopped short: its WAV and log are dropped too, not left looking whole.
    if (capture.wavOpen) {
        if (!capture.wav.finish() || !ok || !capture.wavFile.commit()) {
            if (ok)
                report("cannot write the WAV file " + capture.wavFile.path());
            capture.wavFile.discard();
        }
        capture.wavOpen = false;
    }
    if (capture.log) {
        bool written = !std::ferror(capture.log);
        if (std::fclose(capture.log) != 0 || !written || !ok || !capture.logFile.commit()) {
            if (ok)
                report("cannot write the log " + capture.logFile.path());
            capture.logFile.discard();
        }
        capture.log = nullptr;
    }
    if (!ok) {
        std::fflush(stdout);
        std::exit(outputFailed);
    }
}

// One line on standard error and exit status 2, before any window opens.
int fail(const std::string& what)
{
    std::fprintf(stderr, "plomvardix-capture: %s (see --help)\n", what.c_str());
    return 2;
}

struct Options {
    std::string logPath, wavPath;
    VideoSettings video;
    bool quiet = false;
    bool videoOption = false;  // a video setting was given, so --video must be too
    uint64_t endFrame = 0;
    int32_t latticeAt = -1;
};

// One option with its value; -1 to go on, otherwise the status to exit with.
int readValue(const std::string& option, const std::string& value, Options& options)
{
    uint64_t number = 0;
    if (option == "--frames") {
        if (!parseFrames(value))
            return fail("bad frame list \"" + value + "\" (numbers and ranges such as 0,10,200-300)");
    } else if (option == "--out") {
        capture.outDir = value;
    } else if (option == "--log") {
        options.logPath = value;
    } else if (option == "--wav") {
        options.wavPath = value;
    } else if (option == "--video") {
        options.video.path = value;
    } else if (option == "--scale") {
        if (!parseNumber(value, number, 4) || number < 1)
            return fail("bad scale \"" + value + "\" (1 to 4)");
        options.video.scale = static_cast<int>(number);
        options.videoOption = true;
    } else if (option == "--crf") {
        if (!parseNumber(value, number, 51))
            return fail("bad crf \"" + value + "\" (0 to 51)");
        options.video.crf = static_cast<int>(number);
        options.videoOption = true;
    } else if (option == "--preset") {
        if (!knownPreset(value))
            return fail("unknown preset \"" + value + "\" (ultrafast, superfast, veryfast, faster, fast, "
                        "medium, slow, slower, veryslow, placebo)");
        options.video.preset = value;
        options.videoOption = true;
    } else if (option == "--keys") {
        std::string error = parseKeys(value, options.endFrame);
        if (!error.empty())
            return fail(error + ": \"" + value + "\"");
    } else if (option == "--fullscreen") {
        if (value != "yes" && value != "no")
            return fail("--fullscreen takes yes or no, not \"" + value + "\"");
        offline::setFullscreenAnswer(value == "yes" ? platform::idYes : platform::idNo);
    } else if (option == "--fps") {
        if (!parseNumber(value, number, 1000) || number == 0)
            return fail("bad frame rate \"" + value + "\" (1 to 1000)");
        offline::setFramesPerSecond(static_cast<int>(number));
    } else if (option == "--lattice-at") {
        // Between the credits' start and the last order before the end.
        if (!parseNumber(value, number) || number < 23 || number > 38) {
            std::fprintf(stderr, "plomvardix-capture: --lattice-at takes an order from 23 to 38, not '%s'\n",
                         value.c_str());
            return 2;
        }
        options.latticeAt = static_cast<int32_t>(number);
    }
    return -1;
}

// The command line; -1 to go on, otherwise the status to exit with.
int readOptions(int argc, char** argv, Options& options)
{
    for (int k = 1; k < argc; ++k) {
        std::string option = argv[k];
        if (option == "--help" || option == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (option == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (option == "--lossless") {
            options.video.lossless = true;
            options.videoOption = true;
            continue;
        }
        static const char* const valued[] = {"--frames", "--out", "--log", "--wav", "--video", "--scale", "--crf",
                                             "--preset", "--keys", "--fullscreen", "--fps", "--lattice-at"};
        bool known = false;
        for (const char* name : valued)
            known = known || option == name;
        if (!known)
            return fail("unknown option " + option);
        if (k + 1 >= argc)
            return fail(option + " needs a value");
        int status = readValue(option, argv[++k], options);
        if (status >= 0)
            return status;
    }
    if (!capture.frames.empty() && capture.outDir.empty())
        return fail("--frames needs --out DIR");
    if (options.videoOption && options.video.path.empty())
        return fail("--lossless, --scale, --crf and --preset need --video FILE");
    return -1;
}

// Every output is checked and opened before the window, and paths are taken before the demo moves
// to its data folder. -1 to go on, otherwise the status to exit with.
int openOutputs(Options& options)
{
    std::string error;
    if (!options.video.path.empty()) {
        options.video.fps = offline::framesPerSecond();
        error = checkVideoSettings(options.video);
        if (!error.empty())
            return fail(error);
    }
    if (!capture.outDir.empty() && !prepareFolder(capture.outDir, error))
        return fail(error);
    if (!options.logPath.empty()) {
        if (!capture.logFile.prepare(options.logPath, error))
            return fail("cannot write the log: " + error);
        capture.log = std::fopen(capture.logFile.writePath().c_str(), "w");
        if (!capture.log)
            return fail("cannot write the log " + options.logPath + ": " + std::strerror(errno));
        std::fprintf(capture.log, "frame,seconds,order,row,scene,t\n");
    }
    if (!options.wavPath.empty()) {
        if (!capture.wavFile.prepare(options.wavPath, error) || !capture.wav.open(capture.wavFile.writePath())) {
            if (capture.log) {
                std::fclose(capture.log);
                capture.logFile.discard();
            }
            return fail("cannot write the WAV file " + options.wavPath + (error.empty() ? "" : ": " + error));
        }
        capture.wavOpen = true;
    }
    if (!options.video.path.empty()) {
        if (!capture.video.open(options.video, error)) {
            if (capture.log) {
                std::fclose(capture.log);
                capture.logFile.discard();
            }
            if (capture.wavOpen) {
                capture.wav.finish();
                capture.wavFile.discard();
            }
            return fail(error);
        }
        capture.videoOpen = true;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    int status = readOptions(argc, argv, options);
    if (status < 0)
        status = openOutputs(options);
    if (status >= 0)
        return status;
    if (capture.wavOpen || capture.videoOpen)
        offline::setAudioSink(onAudio);
    if (!capture.outDir.empty() && !capture.frames.empty()) {
        capture.png.start(capture.outDir);
        capture.pngStarted = true;
    }
    // The demo itself never names the lattice scene; this run's timeline does, from the chosen order.
    if (options.latticeAt >= 0)
        scheduleLatticeScene(options.latticeAt);
    capture.progress.start(options.quiet, schedule[scheduleCount].startOrder, options.endFrame);
    for (const ScheduleEntry& entry : schedule)
        if (entry.scene)
            capture.sceneNames.emplace_back(entry.scene, className(entry.scene));
    offline::setSwapHook(onSwap);
    offline::addExitHook(onExit);
    // demoMain returns only when the window could not be made; outputs are finished either way.
    platform::exitProcess(demoMain());
}
