// plomvardix-capture: runs the demo from start to end on the offline back end and writes the frames,
// a log of the frame steps, the sound and a video, as asked.
#include "file_outputs.h"
#include "options.h"
#include "output_file.h"
#include "platform/audio_offline.h"
#include "platform/offline.h"
#include "platform/platform.h"
#include "png_writer.h"
#include "progress.h"
#include "shell/driver.h"
#include "video_writer.h"

#include <GL/gl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Exit status when an output could not be written completely.
constexpr int outputFailed = 3;

struct Run {
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<unsigned char> pixels;  // the frame read back, shared by every output that wants it
    std::string failure;                // the first output that failed, why
    Progress progress;
} run;

// The first of SIGINT, SIGTERM, SIGHUP stops the run at its next frame; a second one ends it at once.
volatile std::sig_atomic_t stopSignal = 0;

void onSignal(int signal)
{
    if (stopSignal) {
        removePartFilesNow();
        ::_exit(128 + signal);
    }
    stopSignal = signal;
}

// The one way out once the outputs are open: finishes them all or, if any fails, takes them all back.
[[noreturn]] void end(int status, bool demoEnded)
{
    const RunEnd at{offline::clockMicroseconds(), offline::frameCount(), demoEnded};
    run.progress.finish();
    std::string error = run.failure;
    for (auto& output : run.outputs)
        if (error.empty() && !output->finish(at, error) && error.empty())
            error = "cannot finish the outputs";
    if (!error.empty()) {
        for (auto& output : run.outputs)
            output->discard();
        std::fprintf(stderr, "plomvardix-capture: %s\n", error.c_str());
        status = outputFailed;
    } else if (stopSignal) {
        const int signal = stopSignal;
        std::fprintf(stderr, "plomvardix-capture: stopped by %s at frame %llu; the files hold what came before\n",
                     signal == SIGINT ? "Ctrl-C" : signal == SIGTERM ? "SIGTERM" : "SIGHUP",
                     static_cast<unsigned long long>(at.frames));
        status = 128 + signal;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

void onExit(int status)
{
    end(status, true);
}

void onSwap(uint64_t number)
{
    if (stopSignal)
        end(0, false);
    // Every frame must leave GL without a pending error; say so for each one that does not.
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        std::fprintf(stderr, "plomvardix-capture: GL error 0x%04x in frame %llu\n", error,
                     static_cast<unsigned long long>(number));
    Frame frame;
    frame.number = number;
    frame.micros = offline::clockMicroseconds();
    frame.buffer = run.pixels.data();
    for (auto& output : run.outputs)
        if (!output->frame(frame))
            run.failure = output->failure();
    if (!run.failure.empty())
        end(outputFailed, false);
    run.progress.update(number, frameReport.order, frameReport.row);
}

// The lockstep sound, from virtual time 0; a failure stops the run at the next frame.
void onAudio(const int16_t* stereo, uint32_t frames, uint32_t rate)
{
    for (auto& output : run.outputs)
        if (run.failure.empty() && !output->sound(stereo, frames, rate))
            run.failure = output->failure();
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    int status = readOptions(argc, argv, options);
    if (status >= 0)
        return status;
    // Every output is checked and opened before the window, and paths are taken before the demo
    // moves to its data folder.
    if (!options.video.path.empty()) {
        options.video.fps = offline::framesPerSecond();
        run.outputs.push_back(std::make_unique<VideoOutput>(options.video));
    }
    if (!options.outDir.empty() && !options.frames.empty())
        run.outputs.push_back(std::make_unique<PngOutput>(options.outDir, options.frames));
    if (!options.logPath.empty())
        run.outputs.push_back(std::make_unique<LogOutput>(options.logPath));
    if (!options.wavPath.empty())
        run.outputs.push_back(std::make_unique<WavOutput>(options.wavPath));
    // The demo itself never names the lattice scene; this run's timeline does, from the chosen order.
    if (options.latticeAt >= 0)
        scheduleLatticeScene(options.latticeAt);
    for (size_t k = 0; k < run.outputs.size(); ++k) {
        std::string error;
        if (!run.outputs[k]->open(error)) {
            for (size_t opened = 0; opened < k; ++opened)
                run.outputs[opened]->discard();
            return fail(error);
        }
    }
    run.pixels.assign(static_cast<size_t>(offline::frameWidth) * offline::frameHeight * 3, 0);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    run.progress.start(options.quiet, schedule[scheduleCount].startOrder, options.endFrame);
    offline::setAudioSink(onAudio);
    offline::setSwapHook(onSwap);
    offline::addExitHook(onExit);
    // demoMain returns only when the window could not be made; outputs are finished either way.
    end(demoMain(), true);
}
