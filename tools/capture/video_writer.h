// Encodes the run's frames and sound into a video file through FFmpeg's libraries, on a thread of
// its own: H.264 + AAC in MP4 or Matroska, or FFV1 + FLAC in Matroska (lossless).
#pragma once

#include "frame_queue.h"
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

class VideoWriter {
public:
    static constexpr int frameWidth = 640;
    static constexpr int frameHeight = 480;
    static constexpr int sampleRate = 44100;

    ~VideoWriter();
    // Opens the file under a temporary name, the encoders and the container; starts the encoding
    // thread. False with a one-line reason.
    bool open(const VideoSettings& settings, std::string& error);

    // A free 640 x 480 RGB frame (bottom row first, as GL reads it) to fill; waits while the encoder is behind. Null
    // once the encoder has failed.
    unsigned char* frameBuffer();
    // Hands the filled frame to the encoder: frames are shown in the order they are pushed, frame n
    // at n / fps seconds.
    void pushFrame();
    // Interleaved stereo at 44100 Hz, in order; the samples up to frame n are round(n x 44100 / fps).
    void pushAudio(const int16_t* stereo, uint32_t frames);

    // Samples of sound before frame n: round(n x 44100 / fps).
    uint64_t samplesUpTo(uint64_t frame) const;

    bool failed() { return queue.failed(); }
    std::string failure() { return queue.failure(); }
    uint64_t framesPushed() const { return queue.pushed(); }

    // Encodes what is queued, gives the sound exactly the pictures' length, finishes the file and
    // renames it. False with a one-line reason; the temporary file is then removed.
    bool finish(std::string& error);
    // Stops without finishing and removes the temporary file.
    void abandon();

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
    bool encodeFrame(const unsigned char* rgb);
    bool encodeAudio(const int16_t* stereo, uint32_t frames);
    bool flushAudio(bool last);
    bool drain(Codec& codec, bool flushing);
    bool fail(const std::string& what, int code = 0);
    void closeAll();

    VideoSettings settings;
    OutputFile output;
    struct Context;
    Context* av = nullptr;

    static constexpr int slotCount = 12;
    static constexpr uint32_t audioCapacity = 1u << 18;  // stereo frames, about 6 s
    std::vector<int16_t> audio;
    uint64_t audioIn = 0;   // stereo frames pushed (guarded by the frame queue's lock)
    uint64_t audioOut = 0;  // stereo frames taken from the ring
    FrameQueue queue;
};
