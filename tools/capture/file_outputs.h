// The two outputs written on the render thread: the frame-step log and the WAV.
#pragma once

#include "output.h"
#include "output_file.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

class Scene;

// CSV, one line per frame step: frame,seconds,order,row,scene,t.
class LogOutput : public Output {
public:
    explicit LogOutput(std::string path) : given(std::move(path)) {}
    bool open(std::string& error) override;
    bool frame(const Frame& frame) override;
    bool finish(const RunEnd& end, std::string& error) override;
    void discard() override;

private:
    // One line for the frame step run since the last one logged, if any; `frame` is the frame it drew.
    bool logStep(uint64_t frame, uint64_t micros);
    const char* sceneName(const Scene* scene);

    std::string given;
    PartFile file;
    FILE* out = nullptr;
    bool committed = false;
    uint64_t loggedSteps = 0;
    // Class names of the scheduled scenes, taken while they live: the frame step that ends the
    // demo is logged at exit, when its scene has been deleted.
    std::vector<std::pair<const Scene*, std::string>> sceneNames;
};

// 16-bit stereo PCM, streamed: the sizes in the header are filled at the end.
class WavOutput : public Output {
public:
    explicit WavOutput(std::string path) : given(std::move(path)) {}
    bool open(std::string& error) override;
    bool sound(const int16_t* stereo, uint32_t frames, uint32_t rate) override;
    bool finish(const RunEnd& end, std::string& error) override;
    void discard() override;

private:
    std::string given;
    PartFile file;
    FILE* out = nullptr;
    bool committed = false;
    uint32_t rate = 0;
    uint64_t dataBytes = 0;
};
