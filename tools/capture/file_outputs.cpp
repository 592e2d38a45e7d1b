// The frame-step log and the WAV.
#include "file_outputs.h"

#include "platform/offline.h"
#include "shell/driver.h"
#include "shell/scene.h"

#include <cxxabi.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

namespace {

std::string className(const Scene* scene)
{
    const char* mangled = typeid(*scene).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    return name;
}

// Opens a prepared file for writing; false with a one-line reason.
bool openFile(PartFile& file, const std::string& given, const char* what, FILE*& out, std::string& error)
{
    if (!file.prepare(given, error)) {
        // As ever: the log's reason names its path already.
        error = std::string("cannot write ") + what + (std::strcmp(what, "the log") ? " " + given : "") + ": " + error;
        return false;
    }
    out = std::fopen(file.writePath(), "wb");
    if (!out) {
        error = std::string("cannot write ") + what + " " + given + ": " + std::strerror(errno);
        file.discard();
        return false;
    }
    return true;
}

// Closes the file and gives it its name; false with a one-line reason.
bool closeFile(PartFile& file, FILE*& out, bool written, const char* what, std::string& error)
{
    bool ok = written && !std::ferror(out);
    ok = std::fclose(out) == 0 && ok;
    out = nullptr;
    if (!ok || !file.commit()) {
        error = std::string("cannot write ") + what + " " + file.path();
        file.discard();
        return false;
    }
    return true;
}

}  // namespace

bool LogOutput::open(std::string& error)
{
    if (!openFile(file, given, "the log", out, error))
        return false;
    std::fprintf(out, "frame,seconds,order,row,scene,t\n");
    for (const ScheduleEntry& entry : schedule)
        if (entry.scene)
            sceneNames.emplace_back(entry.scene, className(entry.scene));
    return true;
}

const char* LogOutput::sceneName(const Scene* scene)
{
    for (const auto& entry : sceneNames)
        if (entry.first == scene)
            return entry.second.c_str();
    sceneNames.emplace_back(scene, className(scene));
    return sceneNames.back().second.c_str();
}

bool LogOutput::logStep(uint64_t frame, uint64_t micros)
{
    if (frameReport.steps == loggedSteps)
        return true;
    loggedSteps = frameReport.steps;
    std::fprintf(out, "%llu,%llu.%06llu,%d,%d,", static_cast<unsigned long long>(frame),
                 static_cast<unsigned long long>(micros / 1000000), static_cast<unsigned long long>(micros % 1000000),
                 frameReport.order, frameReport.row);
    if (frameReport.rendered && frameReport.scene)
        std::fprintf(out, "%s,%.6f\n", sceneName(frameReport.scene), static_cast<double>(frameReport.t));
    else
        std::fprintf(out, ",\n");
    return !std::ferror(out) || fail(std::string("cannot write the log ") + file.path());
}

bool LogOutput::frame(const Frame& frame)
{
    return logStep(frame.number, frame.micros);
}

bool LogOutput::finish(const RunEnd& end, std::string& error)
{
    // The last frame step (the one that ends the demo) has no swap after it.
    bool written = !end.demoEnded || logStep(end.frames, end.micros);
    committed = closeFile(file, out, written, "the log", error);
    return committed;
}

void LogOutput::discard()
{
    if (out)
        std::fclose(out);
    out = nullptr;
    file.discard(committed);
    committed = false;
}

namespace {

void put32(unsigned char* at, uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        at[k] = static_cast<unsigned char>(value >> (8 * k));
}

void put16(unsigned char* at, uint16_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

constexpr int headerBytes = 44;

void fillHeader(unsigned char* header, uint32_t rate, uint32_t dataBytes)
{
    const char* tags[] = {"RIFF", "WAVE", "fmt ", "data"};
    const int at[] = {0, 8, 12, 36};
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 4; ++c)
            header[at[k] + c] = static_cast<unsigned char>(tags[k][c]);
    put32(header + 4, 36 + dataBytes);
    put32(header + 16, 16);
    put16(header + 20, 1);  // PCM
    put16(header + 22, 2);
    put32(header + 24, rate);
    put32(header + 28, rate * 4);
    put16(header + 32, 4);
    put16(header + 34, 16);
    put32(header + 40, dataBytes);
}

}  // namespace

bool WavOutput::open(std::string& error)
{
    if (!openFile(file, given, "the WAV file", out, error))
        return false;
    unsigned char header[headerBytes] = {};
    fillHeader(header, 44100, 0);
    std::fwrite(header, 1, headerBytes, out);
    return true;
}

bool WavOutput::sound(const int16_t* stereo, uint32_t frames, uint32_t frameRate)
{
    if (rate == 0)
        rate = frameRate;
    // Samples are little-endian in the file, whatever the machine.
    unsigned char buffer[4096];
    for (uint32_t done = 0; done < frames;) {
        uint32_t n = frames - done < 1024 ? frames - done : 1024;
        for (uint32_t k = 0; k < n * 2; ++k)
            put16(buffer + 2 * k, static_cast<uint16_t>(stereo[done * 2 + k]));
        std::fwrite(buffer, 4, n, out);
        done += n;
    }
    dataBytes += static_cast<uint64_t>(frames) * 4;
    return !std::ferror(out) || fail(std::string("cannot write the WAV file ") + file.path());
}

bool WavOutput::finish(const RunEnd&, std::string& error)
{
    unsigned char header[headerBytes] = {};
    fillHeader(header, rate ? rate : 44100, static_cast<uint32_t>(dataBytes));
    // Beyond what a WAV header can say, the file is not whole.
    bool written = dataBytes <= 0xffffffffu - 36 && std::fseek(out, 0, SEEK_SET) == 0 &&
                   std::fwrite(header, 1, headerBytes, out) == headerBytes;
    committed = closeFile(file, out, written, "the WAV file", error);
    return committed;
}

void WavOutput::discard()
{
    if (out)
        std::fclose(out);
    out = nullptr;
    file.discard(committed);
    committed = false;
}
