// Encodes the run's frames and sound into a video file through FFmpeg's libraries, on a thread of
// its own: H.264 + AAC in MP4 or Matroska, or FFV1 + FLAC in Matroska (lossless).
#pragma once

#include "output.h"
#include "work_queue.h"
#include "output_file.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVCodec;

struct VideoSettings {
    std::string path;          // .mp4 or .mkv
    bool lossless = false;     // FFV1 + FLAC, .mkv only
    int scale = 1;             // nearest-neighbour, 1 to 4
    int crf = 18;
    std::string preset = "veryfast";
    int fps = 60;
};

// Why a video file name or setting cannot be used; empty when it can.
std::string checkVideoSettings(const VideoSettings& settings);
// The x264 preset names.
bool knownPreset(const std::string& name);

// The video's clock is the virtual clock: the picture on screen is repeated, at the video's frame
// rate, for as long as it stays there (through the loading sequence's sleeps too), and the sound
// is every sample heard from virtual time 0, as in the WAV.
class VideoOutput : public Output {
public:
    static constexpr int sampleRate = 44100;

    explicit VideoOutput(const VideoSettings& settings) : settings(settings) {}
    ~VideoOutput() override;
    // Opens the file under a temporary name, the encoders and the container; starts the encoding thread.
    bool open(std::string& error) override;
    // Hands the picture to the encoder, shown from the first video frame at or after its time.
    bool frame(const Frame& frame) override;
    // Interleaved stereo at 44100 Hz, in order from virtual time 0.
    bool sound(const int16_t* stereo, uint32_t frames, uint32_t rate) override;
    // Encodes what is queued, holds the last picture to the end, gives the sound exactly the
    // pictures' length, finishes the file and renames it.
    bool finish(const RunEnd& end, std::string& error) override;
    void discard() override;

    // Samples of sound before video frame n: round(n x 44100 / fps).
    uint64_t samplesUpTo(uint64_t frame) const;
    // The first video frame at or after a virtual time.
    uint64_t frameAt(uint64_t micros) const;

private:
    struct Codec;
    // The stages of open, each with its one-line reason when it fails.
    std::string openContainer(const std::string& url);
    std::string openVideoEncoder(const AVCodec* codec);
    std::string openAudioEncoder(const AVCodec* codec);
    std::string addStreams();
    std::string prepareConversions();
    std::string writeHeader(const std::string& url);
    void run();
    bool encodePicture(const unsigned char* rgb, int64_t pts);
    bool holdPicture(int64_t end);
    bool sendPicture(int64_t pts);
    bool encodeAudio(const int16_t* stereo, uint32_t frames);
    bool flushAudio(bool last);
    bool drain(Codec& codec, bool flushing);
    bool failAv(const std::string& what, int code = 0);
    bool complete(const RunEnd& end);
    void closeAll();

    enum Kind { Picture, Sound };
    static constexpr int itemCount = 16;
    VideoSettings settings;
    PartFile output;
    bool committed = false;
    struct Context;
    Context* av = nullptr;
    int64_t lastSlot = -1;  // the renderer's: the video frame of the last picture pushed
    int64_t shown = -1;     // the encoder's: the last video frame encoded
    WorkQueue queue;
};
