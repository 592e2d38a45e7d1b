// plomvardix-capture --video end to end: the files read back by FFmpeg's own tools, the pictures
// against the PNG frames of the same run, and the sound in step with the pictures.
#include "support/capture_run.h"
#include "support/png_file.h"

#include <libopenmpt/libopenmpt.h>

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace {

using namespace capture_support;

// Runs a command and returns its standard output.
std::string output(const std::string& command)
{
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    ::pclose(pipe);
    return text;
}

// ffprobe's key=value lines for one stream ("v:0" or "a:0").
std::map<std::string, std::string> probe(const fs::path& file, const char* stream)
{
    std::map<std::string, std::string> values;
    std::stringstream lines(output(std::string("ffprobe -v error -count_frames -select_streams ") + stream +
                                   " -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,"
                                   "nb_read_frames,duration,sample_rate,channels:stream_tags=DURATION"
                                   " -of default=nw=1 '" + file.string() + "'"));
    std::string line;
    while (std::getline(lines, line)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

// A stream's length in seconds: its duration, or Matroska's DURATION tag (h:mm:ss.fraction).
double streamSeconds(std::map<std::string, std::string>& values)
{
    if (!values["duration"].empty() && values["duration"] != "N/A")
        return std::stod(values["duration"]);
    const std::string& tag = values["TAG:DURATION"];
    if (tag.size() < 8)
        return -1;
    return std::stod(tag.substr(0, tag.find(':'))) * 3600 + std::stod(tag.substr(tag.find(':') + 1, 2)) * 60 +
           std::stod(tag.substr(tag.rfind(':') + 1));
}

// Decoded frame `index` as RGB bytes.
std::string decodedFrame(const fs::path& file, int index)
{
    return output("ffmpeg -v error -i '" + file.string() + "' -vf \"select=eq(n\\," + std::to_string(index) +
                  ")\" -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
}

// The decoded sound as 16-bit stereo samples.
std::vector<int16_t> decodedSound(const fs::path& file)
{
    std::string bytes = output("ffmpeg -v error -i '" + file.string() + "' -map 0:a -f s16le -ac 2 -ar 44100 -");
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The video frame a picture at virtual time `seconds` is first shown in: the first at or after it.
long videoFrameAt(const std::string& seconds, int fps)
{
    return static_cast<long>((micros(seconds) * fps + 999999) / 1000000);
}

// The video frame of the first frame step at the given music position; -1 when none.
long firstFrameAt(const std::vector<Step>& steps, int order, int row)
{
    for (const Step& step : steps)
        if (step.order == order && step.row == row)
            return videoFrameAt(step.seconds, 60);
    return -1;
}

// The module alone from (order, row), mixed to mono: what the sound of that row starts with.
std::vector<float> moduleFrom(const fs::path& path, int order, int row, int frames)
{
    std::vector<float> mono;
    std::string bytes = slurp(path);
    // As the demo plays it: a seek sets up the notes still sounding, no dither.
    const openmpt_module_initial_ctl controls[] = {{"seek.sync_samples", "1"}, {"dither", "0"}, {nullptr, nullptr}};
    openmpt_module* module = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr, nullptr,
                                                                nullptr, nullptr, nullptr, controls);
    if (!module)
        return mono;
    openmpt_module_set_position_order_row(module, order, row);
    std::vector<int16_t> stereo(static_cast<size_t>(frames) * 2);
    size_t got = openmpt_module_read_interleaved_stereo(module, 44100, frames, stereo.data());
    openmpt_module_destroy(module);
    for (size_t k = 0; k < got; ++k)
        mono.push_back((stereo[2 * k] + stereo[2 * k + 1]) * 0.5f);
    return mono;
}

// Where `pattern` best matches `sound` (stereo) within [from, to): normalised cross-correlation.
long bestMatch(const std::vector<int16_t>& sound, const std::vector<float>& pattern, long from, long to, double& score)
{
    long best = -1;
    score = -1;
    double patternEnergy = 0;
    for (float v : pattern)
        patternEnergy += static_cast<double>(v) * v;
    for (long at = from; at < to; ++at) {
        if (at < 0 || (at + static_cast<long>(pattern.size())) * 2 > static_cast<long>(sound.size()))
            continue;
        double dot = 0, energy = 0;
        for (size_t k = 0; k < pattern.size(); ++k) {
            double v = (sound[2 * (at + k)] + sound[2 * (at + k) + 1]) * 0.5;
            dot += v * pattern[k];
            energy += v * v;
        }
        double s = energy > 0 ? dot / std::sqrt(energy * patternEnergy) : 0;
        if (s > score) {
            score = s;
            best = at;
        }
    }
    return best;
}

double meanDifference(const std::string& a, const std::string& b)
{
    double sum = 0;
    for (size_t k = 0; k < a.size() && k < b.size(); ++k)
        sum += std::abs(static_cast<unsigned char>(a[k]) - static_cast<unsigned char>(b[k]));
    return a.empty() ? 999 : sum / a.size();
}

// MP4 as a user makes it: H.264 + AAC, the first picture close to the first PNG, the loading
// sequence's pictures held through its sleeps, and the sound in step: the white frame of order 5
// row 0 (the glyph blur scene fades in from white) within one frame of the place in the sound where
// that row's music begins.
TEST_F(Capture, Mp4IsReadBackAndTheSoundKeepsInStepWithThePictures)
{
    // Space four times reaches order 4 early; order 5 then comes at its own pace.
    const int frames = 540;
    fs::path video = dir / "run.mp4";
    Outcome r = run("--video " + video.string() + " --frames 0 --out " + (dir / "png").string() + " --log " +
                    (dir / "log.csv").string() + " --keys 30:space,32:space,34:space,36:space," +
                    std::to_string(frames) + ":escape");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir / "run.mp4.part"));
    // Standard error is not a terminal here: a plain progress line every 10 %.
    EXPECT_NE(r.err.find("plomvardix-capture: 50%  order "), std::string::npos) << r.err;

    auto v = probe(video, "v:0");
    EXPECT_EQ(v["codec_name"], "h264");
    EXPECT_EQ(v["pix_fmt"], "yuv420p");
    EXPECT_EQ(v["width"], "640");
    EXPECT_EQ(v["height"], "480");
    EXPECT_EQ(v["r_frame_rate"], "60/1");
    // One video frame per 1/60 s of the virtual clock, to its end.
    const long shown = videoFrameAt(steps().back().seconds, 60);
    EXPECT_GT(shown, frames + 60) << "the sleeps are in the video";
    EXPECT_EQ(v["nb_read_frames"], std::to_string(shown));
    EXPECT_NEAR(streamSeconds(v), shown / 60.0, 1e-3);
    auto a = probe(video, "a:0");
    EXPECT_EQ(a["codec_name"], "aac");
    EXPECT_EQ(a["sample_rate"], "44100");
    EXPECT_EQ(a["channels"], "2");
    EXPECT_NEAR(streamSeconds(a), streamSeconds(v), 1 / 60.0);

    // +faststart: the index comes before the media data, so a browser can start playing at once.
    std::string bytes = slurp(video);
    ASSERT_NE(bytes.find("mdat"), std::string::npos);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
    EXPECT_EQ(output("ffmpeg -v error -i '" + video.string() + "' -f null - 2>&1"), "");

    int width = 0, height = 0;
    std::vector<unsigned char> png = readPng(dir / "png" / "000000.png", width, height);
    ASSERT_EQ(png.size(), 640u * 480 * 3);
    std::string first = decodedFrame(video, 0);
    ASSERT_EQ(first.size(), png.size());
    EXPECT_LT(meanDifference(first, std::string(png.begin(), png.end())), 4.0);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(static_cast<unsigned char>(first[c]), png[c], 4) << "corner, channel " << c;

    long flash = firstFrameAt(steps(), 5, 0);
    ASSERT_GT(flash, 0);
    ASSERT_LT(flash, shown);
    std::string white = decodedFrame(video, static_cast<int>(flash));
    ASSERT_EQ(white.size(), png.size());
    double brightness = 0;
    for (char c : white)
        brightness += static_cast<unsigned char>(c);
    EXPECT_GT(brightness / white.size(), 250) << "frame " << flash << " is the fade from white";

    std::vector<int16_t> sound = decodedSound(video);
    std::vector<float> row = moduleFrom(fs::current_path() / "data" / "glimo.it", 5, 0, 44100 / 10);
    ASSERT_FALSE(row.empty());
    const long flashSample = flash * 44100 / 60;
    double score = 0;
    long onset = bestMatch(sound, row, flashSample - 44100 / 4, flashSample + 44100 / 4, score);
    EXPECT_GT(score, 0.5) << "the row's music is found in the sound";
    EXPECT_LE(std::abs(onset - flashSample), 44100 / 60) << "flash at sample " << flashSample << ", music at " << onset;
}

// Lossless Matroska: the sound is the WAV's sample for sample from virtual time 0, the pictures
// cover the same time within a frame, also at a rate that does not divide 44100, a picture shown
// through a sleep is the same picture again, and the pictures are the PNG's, each pixel a 2 x 2 block.
TEST_F(Capture, LosslessMkvHoldsThePicturesAndTheSoundExactly)
{
    const int frames = 40, fps = 23;
    fs::path video = dir / "run.mkv";
    Outcome r = run("--quiet --fps 23 --lossless --scale 2 --video " + video.string() + " --frames 0,30 --out " +
                    (dir / "png").string() + " --wav " + (dir / "run.wav").string() + " --log " +
                    (dir / "log.csv").string() + " --keys " + std::to_string(frames) + ":escape");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("%"), std::string::npos) << "--quiet: no progress";

    const long shown = videoFrameAt(steps().back().seconds, fps);
    auto v = probe(video, "v:0");
    EXPECT_EQ(v["codec_name"], "ffv1");
    EXPECT_EQ(v["width"], "1280");
    EXPECT_EQ(v["height"], "960");
    EXPECT_EQ(v["r_frame_rate"], "23/1");
    EXPECT_EQ(v["nb_read_frames"], std::to_string(shown));
    EXPECT_EQ(probe(video, "a:0")["codec_name"], "flac");

    std::vector<int16_t> sound = decodedSound(video);
    std::string wav = slurp(dir / "run.wav");
    ASSERT_GT(wav.size(), 44u);
    std::vector<int16_t> heard((wav.size() - 44) / 2);
    std::memcpy(heard.data(), wav.data() + 44, heard.size() * 2);
    EXPECT_EQ(sound.size(), 2u * std::lround(shown * 44100.0 / fps));
    ASSERT_GE(sound.size(), heard.size());
    EXPECT_LT(sound.size() - heard.size(), 2u * 44100 / fps) << "the pictures run a frame at most past the sound";
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), sound.begin())) << "the sound is the WAV's";
    EXPECT_TRUE(std::all_of(sound.begin() + heard.size(), sound.end(), [](int16_t v) { return v == 0; }));

    // The loading frames stay on screen through the sleeps: every video frame before the first scene
    // frame that is not a swap of its own is its predecessor again, exactly.
    const long firstScene = videoFrameAt(steps().front().seconds, fps);
    const long held = firstScene - steps().front().frame;
    ASSERT_GT(held, fps) << "the loading sequence sleeps over a second";
    const size_t size = 1280u * 960 * 3;
    std::string loading = output("ffmpeg -v error -i '" + video.string() + "' -frames:v " + std::to_string(firstScene) +
                                 " -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(loading.size(), size * firstScene);
    long repeats = 0;
    for (long k = 1; k < firstScene; ++k)
        repeats += loading.compare(k * size, size, loading, (k - 1) * size, size) == 0;
    EXPECT_GE(repeats, held);

    for (int index : {0, 30}) {
        char name[16];
        std::snprintf(name, sizeof name, "%06d.png", index);
        int width = 0, height = 0;
        std::vector<unsigned char> png = readPng(dir / "png" / name, width, height);
        ASSERT_EQ(width, 640);
        // Swap 0 is video frame 0; swap 30 is shown from its own time on.
        long at = 0;
        for (const Step& step : steps())
            at = step.frame == index ? videoFrameAt(step.seconds, fps) : at;
        std::string frame = decodedFrame(video, static_cast<int>(at));
        ASSERT_EQ(frame.size(), 1280u * 960 * 3);
        size_t wrong = 0;
        for (int y = 0; y < 960; ++y)
            for (int x = 0; x < 1280; ++x)
                for (int c = 0; c < 3; ++c)
                    wrong += static_cast<unsigned char>(frame[(y * 1280 + x) * 3 + c]) !=
                             png[((y / 2) * 640 + x / 2) * 3 + c];
        EXPECT_EQ(wrong, 0u) << "frame " << index;
    }
}

// The default codecs in Matroska, and names and places a video cannot have.
TEST_F(Capture, MkvDefaultsToH264AndBadVideoFilesAreRefused)
{
    fs::path video = dir / "run.mkv";
    Outcome r = run("--quiet --preset ultrafast --crf 30 --fps 30 --video " + video.string() + " --keys 20:escape");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(video, "v:0")["codec_name"], "h264");
    // 20 swaps, and the loading pictures held through over a second of sleeps.
    EXPECT_GT(std::stoi(probe(video, "v:0")["nb_read_frames"]), 20 + 30);
    EXPECT_EQ(probe(video, "a:0")["codec_name"], "aac");

    fs::create_directories(dir / "folder.mp4");
    std::ofstream(dir / "file") << "x";
    for (std::string bad : {"x.avi", "x", "x.mp4.txt", "/proc/x.mp4", "file/x.mp4", "folder.mp4", "no/such/x.mkv"}) {
        std::string path = bad[0] == '/' ? bad : (dir / bad).string();
        Outcome refused = run("--video " + path + " --keys 5:escape");
        EXPECT_EQ(refused.status, 2) << bad;
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
        EXPECT_EQ(refused.err.find("fullscreen?"), std::string::npos) << "refused before the window: " << bad;
    }
    EXPECT_EQ(run("--lossless --video " + (dir / "x.mp4").string()).status, 2);
    for (const char* option : {"--scale 0", "--scale 5", "--crf 52", "--crf -1", "--preset quick"})
        EXPECT_EQ(run(std::string(option) + " --video x.mp4").status, 2) << option;
    EXPECT_FALSE(fs::exists(dir / "x.mp4"));
}

// A disk that fills up mid-run: the run fails and leaves no file under the video's name.
TEST_F(Capture, AVideoThatCannotBeWrittenWhollyFailsTheRun)
{
    fs::path video = dir / "run.mp4";
    // A file size limit stands in for a full disk: writes beyond it fail with EFBIG.
    std::string command = "ulimit -f 64; trap '' XFSZ; exec " + std::string(CAPTURE_EXE) + " --quiet --video " +
                          video.string() + " --keys 200:escape >/dev/null 2>" + (dir / "err").string();
    int raw = std::system(("sh -c \"" + command + "\"").c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    EXPECT_NE(status, 0);
    EXPECT_NE(slurp(dir / "err").find("plomvardix-capture: "), std::string::npos) << slurp(dir / "err");
    EXPECT_FALSE(fs::exists(video));
    EXPECT_FALSE(fs::exists(dir / "run.mp4.part"));
}

}  // namespace

namespace {

using namespace capture_support;

// Starts plomvardix-capture in the background with its output in `dir`; its process id.
pid_t startCapture(const fs::path& dir, const std::string& arguments)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        std::string command = "exec " + std::string(CAPTURE_EXE) + " " + arguments + " >'" + (dir / "stdout").string() +
                              "' 2>'" + (dir / "stderr").string() + "'";
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// Waits up to `seconds` for `done`; false on time out.
template <class Done>
bool waitFor(Done done, int seconds)
{
    for (int k = 0; k < seconds * 20; ++k) {
        if (done())
            return true;
        ::usleep(50000);
    }
    return false;
}

// The exit status, or -1 when the process had to be killed (after `seconds`) or died of a signal.
int statusOf(pid_t pid, int seconds)
{
    int raw = 0;
    if (!waitFor([&] { return ::waitpid(pid, &raw, WNOHANG) == pid; }, seconds)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &raw, 0);
        return -1;
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Ctrl-C, SIGTERM and SIGHUP stop a video capture a few frames in: the video plays to its last
// frame with its sound, the WAV and the log are whole, one line says so, and the status is the
// signal's. A second signal stops at once and leaves neither the files nor their .part.
TEST_F(Capture, StopSignalsFinishTheFilesAndASecondOneLeavesNone)
{
    const struct {
        int signal, status;
    } stops[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const auto& stop : stops) {
        fs::remove_all(dir / "png");
        const std::string video = (dir / "run.mp4").string();
        pid_t pid = startCapture(dir, "--fps 10 --preset ultrafast --video " + video + " --wav " +
                                          (dir / "run.wav").string() + " --log " + (dir / "log.csv").string() +
                                          " --frames 20 --out " + (dir / "png").string());
        ASSERT_TRUE(waitFor([&] { return fs::exists(dir / "png" / "000020.png"); }, 120)) << slurp(dir / "stderr");
        ::kill(pid, stop.signal);
        ASSERT_EQ(statusOf(pid, 120), stop.status) << slurp(dir / "stderr");
        std::string err = slurp(dir / "stderr");
        EXPECT_NE(err.find("plomvardix-capture: stopped by "), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << "the question and the stop: " << err;
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            EXPECT_NE(entry.path().extension(), ".part") << entry.path();

        auto v = probe(video, "v:0");
        const std::vector<Step> run = steps();
        ASSERT_FALSE(run.empty());
        EXPECT_GE(run.back().frame, 20);
        const long shown = std::stol(v["nb_read_frames"]);
        // The last frame made stays on screen for its frame interval: the video ends then, within a frame.
        EXPECT_NEAR(shown / 10.0, micros(run.back().seconds) / 1e6 + 0.1, 0.1 + 1e-6) << "to the last frame made";
        auto a = probe(video, "a:0");
        EXPECT_NEAR(streamSeconds(a), shown / 10.0, 0.1);
        EXPECT_EQ(output("ffmpeg -v error -i '" + video + "' -f null - 2>&1"), "");
        std::string wav = slurp(dir / "run.wav");
        ASSERT_GT(wav.size(), 44u);
        EXPECT_EQ(u32(wav, 40), wav.size() - 44);
        EXPECT_NEAR((wav.size() - 44) / 4 / 44100.0, shown / 10.0, 0.1);
    }

    // Two different signals, as two of one kind sent at once may arrive as one.
    for (const char* name : {"run.mp4", "run.wav", "log.csv"})
        fs::remove(dir / name);
    fs::remove_all(dir / "png");
    pid_t pid = startCapture(dir, "--fps 10 --video " + (dir / "run.mp4").string() + " --wav " +
                                      (dir / "run.wav").string() + " --log " + (dir / "log.csv").string() +
                                      " --frames 20 --out " + (dir / "png").string());
    ASSERT_TRUE(waitFor([&] { return fs::exists(dir / "png" / "000020.png"); }, 120)) << slurp(dir / "stderr");
    ::kill(pid, SIGTERM);
    ::kill(pid, SIGINT);
    EXPECT_EQ(statusOf(pid, 120), 130);
    for (const char* name : {"run.mp4", "run.wav", "log.csv", "run.mp4.part", "run.wav.part", "log.csv.part"})
        EXPECT_FALSE(fs::exists(dir / name)) << name;
}

}  // namespace
