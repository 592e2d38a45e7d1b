// plomvardix-capture's command line.
#include "options.h"

#include "platform/offline.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern const char usage[];
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

namespace {

// Beyond any real run (1000 frames a second for hours), small enough for no arithmetic to overflow.
constexpr uint64_t maxFrame = 100000000;

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

bool parseFrames(const std::string& list, std::vector<PngOutput::Range>& frames)
{
    for (const std::string& item : split(list, ',')) {
        size_t dash = item.find('-');
        PngOutput::Range range;
        if (dash == std::string::npos) {
            if (!parseNumber(item, range.first))
                return false;
            range.last = range.first;
        } else if (!parseNumber(item.substr(0, dash), range.first) ||
                   !parseNumber(item.substr(dash + 1), range.last) || range.last < range.first) {
            return false;
        }
        frames.push_back(range);
    }
    return true;
}

// An item of a list as quoted in a message: a long one is cut short.
std::string quoted(const std::string& item)
{
    return "\"" + (item.size() > 60 ? item.substr(0, 60) + "..." : item) + "\"";
}

// Empty when the list is good; else why not. endFrame becomes the first frame a scripted
// Escape or close ends the run at.
std::string parseKeys(const std::string& list, uint64_t& endFrame)
{
    for (const std::string& item : split(list, ',')) {
        size_t colon = item.find(':');
        uint64_t frame;
        if (colon == std::string::npos || !parseNumber(item.substr(0, colon), frame))
            return "bad key list item " + quoted(item) + " (FRAME:KEY items, frames up to " +
                   std::to_string(maxFrame) + ")";
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
            return "unknown key " + quoted(what) + " in the key list";
        if (!scheduled)
            return "too many scripted events in the key list";
        if ((what == "close" || offline::keyCode(what.c_str()) == 27) && (endFrame == 0 || frame + 1 < endFrame))
            endFrame = frame + 1;
    }
    return "";
}

// One option with its value; -1 to go on, otherwise the status to exit with.
int readValue(const std::string& option, const std::string& value, Options& options)
{
    uint64_t number = 0;
    if (option == "--frames") {
        if (!parseFrames(value, options.frames))
            return fail("bad frame list \"" + value + "\" (numbers and ranges such as 0,10,200-300)");
    } else if (option == "--out") {
        options.outDir = value;
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
            return fail(error);
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

}  // namespace

int fail(const std::string& what)
{
    std::fprintf(stderr, "plomvardix-capture: %s (see --help)\n", what.c_str());
    return 2;
}

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
    if (!options.frames.empty() && options.outDir.empty())
        return fail("--frames needs --out DIR");
    if (options.videoOption && options.video.path.empty())
        return fail("--lossless, --scale, --crf and --preset need --video FILE");
    if (!options.video.path.empty() && !checkVideoSettings(options.video).empty())
        return fail(checkVideoSettings(options.video));
    return -1;
}

