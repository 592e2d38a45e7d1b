// Encodes the run's frames and sound into a video file through FFmpeg's libraries.
#include "video_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <strings.h>

#include <cstring>

namespace {

const char* const presets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                               "medium",    "slow",      "slower",   "veryslow", "placebo"};

bool endsWith(const std::string& text, const char* tail)
{
    size_t n = std::strlen(tail);
    return text.size() > n && strcasecmp(text.c_str() + text.size() - n, tail) == 0;
}

std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

bool knownPreset(const std::string& name)
{
    for (const char* preset : presets)
        if (name == preset)
            return true;
    return false;
}

std::string checkVideoSettings(const VideoSettings& settings)
{
    bool mp4 = endsWith(settings.path, ".mp4");
    bool mkv = endsWith(settings.path, ".mkv");
    if (!mp4 && !mkv)
        return "the video file name must end in .mp4 or .mkv: " + settings.path;
    if (settings.lossless && !mkv)
        return "--lossless needs a .mkv file: " + settings.path;
    return "";
}

struct VideoWriter::Codec {
    AVCodecContext* context = nullptr;
    AVStream* stream = nullptr;
};

struct VideoWriter::Context {
    AVFormatContext* format = nullptr;
    Codec video, audio;
    SwsContext* sws = nullptr;
    SwrContext* swr = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    std::vector<unsigned char> scaled;  // the frame enlarged, when --scale is above 1
    int soundFill = 0;                  // samples in `sound` not yet sent
    int64_t soundPts = 0;               // samples sent to the audio encoder
    int64_t soundKept = 0;              // samples taken into the track
    bool headerWritten = false;
};

uint64_t VideoWriter::samplesUpTo(uint64_t frame) const
{
    // round(frame x rate / fps), in integers
    return (frame * sampleRate * 2 + static_cast<uint64_t>(settings.fps)) / (2 * static_cast<uint64_t>(settings.fps));
}

VideoWriter::~VideoWriter()
{
    abandon();
}

bool VideoWriter::fail(const std::string& what, int code)
{
    return queue.fail(code ? what + ": " + avError(code) : what);
}

namespace {

AVPixelFormat pictureFormat(const VideoSettings& settings)
{
    return settings.lossless ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_YUV420P;
}

// Opens an encoder its caller has set up, with the header where the container wants it.
std::string openEncoder(const AVFormatContext* format, AVCodecContext* context, const AVCodec* codec,
                        AVDictionary* options)
{
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(context, codec, &options);
    av_dict_free(&options);
    if (code < 0)
        return std::string("cannot open the ") + codec->name + " encoder: " + avError(code);
    return "";
}

}  // namespace

bool VideoWriter::open(const VideoSettings& wanted, std::string& error)
{
    settings = wanted;
    // The encoders' own statistics would bury the capture's messages.
    av_log_set_level(AV_LOG_ERROR);
    error = checkVideoSettings(settings);
    if (!error.empty())
        return false;
    const char* videoName = settings.lossless ? "ffv1" : "libx264";
    const char* audioName = settings.lossless ? "flac" : "aac";
    const AVCodec* videoCodec = avcodec_find_encoder_by_name(videoName);
    const AVCodec* audioCodec = avcodec_find_encoder_by_name(audioName);
    if (!videoCodec || !audioCodec) {
        error = std::string("this FFmpeg has no ") + (videoCodec ? audioName : videoName) + " encoder";
        return false;
    }
    if (!output.prepare(settings.path, error))
        return false;

    av = new Context;
    const std::string url = "file:" + output.writePath();
    error = openContainer(url);
    if (error.empty())
        error = openVideoEncoder(videoCodec);
    if (error.empty())
        error = openAudioEncoder(audioCodec);
    if (error.empty())
        error = addStreams();
    if (error.empty())
        error = prepareConversions();
    if (error.empty())
        error = writeHeader(url);
    if (!error.empty()) {
        closeAll();
        output.discard();
        return false;
    }

    audio.assign(static_cast<size_t>(audioCapacity) * 2, 0);
    queue.start(slotCount, static_cast<size_t>(frameWidth) * frameHeight * 3, [this] { run(); });
    return true;
}

std::string VideoWriter::openContainer(const std::string& url)
{
    const AVOutputFormat* container =
        av_guess_format(endsWith(settings.path, ".mp4") ? "mp4" : "matroska", nullptr, nullptr);
    if (!container || avformat_alloc_output_context2(&av->format, container, nullptr, url.c_str()) < 0)
        return "cannot set up the container";
    return "";
}

std::string VideoWriter::openVideoEncoder(const AVCodec* codec)
{
    AVCodecContext* v = avcodec_alloc_context3(codec);
    av->video.context = v;
    if (!v)
        return "out of memory";
    v->width = frameWidth * settings.scale;
    v->height = frameHeight * settings.scale;
    v->time_base = AVRational{1, settings.fps};
    v->framerate = AVRational{settings.fps, 1};
    v->sample_aspect_ratio = AVRational{1, 1};
    AVDictionary* options = nullptr;
    if (settings.lossless) {
        v->gop_size = 1;
        v->level = 3;
        v->thread_count = 2;
        av_dict_set(&options, "slices", "4", 0);
        av_dict_set(&options, "slicecrc", "1", 0);
    } else {
        v->thread_count = 0;
        // Limited-range BT.709, said in the stream so that players convert back the same way.
        v->color_range = AVCOL_RANGE_MPEG;
        v->colorspace = AVCOL_SPC_BT709;
        v->color_primaries = AVCOL_PRI_BT709;
        v->color_trc = AVCOL_TRC_BT709;
        av_dict_set(&options, "preset", settings.preset.c_str(), 0);
        av_dict_set(&options, "crf", std::to_string(settings.crf).c_str(), 0);
    }
    v->pix_fmt = pictureFormat(settings);
    return openEncoder(av->format, v, codec, options);
}

std::string VideoWriter::openAudioEncoder(const AVCodec* codec)
{
    AVCodecContext* a = avcodec_alloc_context3(codec);
    av->audio.context = a;
    if (!a)
        return "out of memory";
    a->sample_rate = sampleRate;
    a->time_base = AVRational{1, sampleRate};
    av_channel_layout_default(&a->ch_layout, 2);
    a->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    if (!settings.lossless)
        a->bit_rate = 192000;
    return openEncoder(av->format, a, codec, nullptr);
}

std::string VideoWriter::addStreams()
{
    const AVCodecContext* v = av->video.context;
    const AVCodecContext* a = av->audio.context;
    av->video.stream = avformat_new_stream(av->format, nullptr);
    av->audio.stream = avformat_new_stream(av->format, nullptr);
    if (!av->video.stream || !av->audio.stream ||
        avcodec_parameters_from_context(av->video.stream->codecpar, v) < 0 ||
        avcodec_parameters_from_context(av->audio.stream->codecpar, a) < 0)
        return "cannot set up the streams";
    av->video.stream->time_base = v->time_base;
    av->video.stream->avg_frame_rate = v->framerate;
    av->video.stream->r_frame_rate = v->framerate;
    av->video.stream->sample_aspect_ratio = v->sample_aspect_ratio;
    av->audio.stream->time_base = a->time_base;
    return "";
}

// The picture's colour conversion, the sound's sample conversion and the frames they fill.
std::string VideoWriter::prepareConversions()
{
    AVCodecContext* a = av->audio.context;
    const int width = frameWidth * settings.scale, height = frameHeight * settings.scale;
    const AVPixelFormat pixels = pictureFormat(settings);
    av->sws = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, pixels, SWS_POINT, nullptr, nullptr,
                             nullptr);
    if (av->sws && !settings.lossless) {
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(av->sws, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    int code = swr_alloc_set_opts2(&av->swr, &a->ch_layout, a->sample_fmt, sampleRate, &stereo,
                                   AV_SAMPLE_FMT_S16, sampleRate, 0, nullptr);
    av->picture = av_frame_alloc();
    av->sound = av_frame_alloc();
    av->packet = av_packet_alloc();
    if (!av->sws || code < 0 || swr_init(av->swr) < 0 || !av->picture || !av->sound || !av->packet)
        return "cannot set up the conversions";
    av->picture->format = pixels;
    av->picture->width = width;
    av->picture->height = height;
    av->sound->format = a->sample_fmt;
    av->sound->sample_rate = sampleRate;
    av_channel_layout_copy(&av->sound->ch_layout, &a->ch_layout);
    av->sound->nb_samples = a->frame_size > 0 ? a->frame_size : 1024;
    if (av_frame_get_buffer(av->picture, 0) < 0 || av_frame_get_buffer(av->sound, 0) < 0)
        return "out of memory";
    if (settings.scale > 1)
        av->scaled.resize(static_cast<size_t>(width) * height * 3);
    return "";
}

std::string VideoWriter::writeHeader(const std::string& url)
{
    int code = avio_open(&av->format->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (code < 0)
        return "cannot write " + output.writePath() + ": " + avError(code);
    AVDictionary* options = nullptr;
    if (endsWith(settings.path, ".mp4"))
        av_dict_set(&options, "movflags", "+faststart", 0);
    code = avformat_write_header(av->format, &options);
    av_dict_free(&options);
    if (code < 0)
        return "cannot write " + output.writePath() + ": " + avError(code);
    av->headerWritten = true;
    return "";
}

unsigned char* VideoWriter::frameBuffer()
{
    return queue.frameBuffer();
}

void VideoWriter::pushFrame()
{
    queue.push();
}

void VideoWriter::pushAudio(const int16_t* stereo, uint32_t frames)
{
    while (frames > 0) {
        auto hold = queue.lock();
        // Sound more than a second past the last frame pushed can have no picture to go with: it
        // is dropped rather than left to fill the ring while the encoder waits for frames.
        uint64_t limit = samplesUpTo(queue.pushed() + static_cast<uint64_t>(settings.fps));
        if (audioIn >= limit)
            return;
        if (frames > limit - audioIn)
            frames = static_cast<uint32_t>(limit - audioIn);
        queue.waitForRoom(hold, [&] { return audioIn - audioOut < audioCapacity; });
        if (queue.failedLocked())
            return;
        uint32_t at = static_cast<uint32_t>(audioIn % audioCapacity);
        uint32_t room = static_cast<uint32_t>(audioCapacity - (audioIn - audioOut));
        uint32_t n = frames < room ? frames : room;
        if (n > audioCapacity - at)
            n = audioCapacity - at;
        hold.unlock();
        // Only this thread writes past audioIn; the encoder reads below it.
        std::memcpy(audio.data() + static_cast<size_t>(at) * 2, stereo, static_cast<size_t>(n) * 4);
        hold.lock();
        audioIn += n;
        queue.notifyWorker();
        stereo += static_cast<size_t>(n) * 2;
        frames -= n;
    }
}

void VideoWriter::run()
{
    for (;;) {
        auto hold = queue.lock();
        // Sound is taken only up to the frames pushed so far, so that it ends where the pictures do.
        auto soundWanted = [&] { return static_cast<int64_t>(samplesUpTo(queue.pushed())); };
        queue.waitForWork(hold, [&] { return audioOut < audioIn && av->soundKept < soundWanted(); });
        if (queue.failedLocked())
            return;
        int64_t wanted = soundWanted();
        uint64_t available = audioIn - audioOut;
        bool frameReady = queue.frameQueued();
        if (!frameReady && queue.closed() && (available == 0 || av->soundKept >= wanted))
            return;
        hold.unlock();

        if (available > 0 && av->soundKept < wanted) {
            uint64_t take = available;
            if (static_cast<int64_t>(take) > wanted - av->soundKept)
                take = static_cast<uint64_t>(wanted - av->soundKept);
            uint32_t at = static_cast<uint32_t>(audioOut % audioCapacity);
            if (take > audioCapacity - at)
                take = audioCapacity - at;
            if (!encodeAudio(audio.data() + static_cast<size_t>(at) * 2, static_cast<uint32_t>(take)))
                return;
            hold.lock();
            audioOut += take;
            hold.unlock();
            queue.notifyRoom();
        }
        if (frameReady) {
            if (!encodeFrame(queue.oldest()))
                return;
            queue.release();
        }
    }
}

bool VideoWriter::encodeFrame(const unsigned char* rgb)
{
    // The frame comes bottom row first, as GL reads it; the turn is made here, off the render thread.
    const int scale = settings.scale;
    const int inStride = frameWidth * 3;
    const unsigned char* source = rgb + (frameHeight - 1) * inStride;
    int sourceStride = -inStride;
    if (scale > 1) {
        // Nearest neighbour: every pixel becomes a scale x scale block.
        const size_t outStride = static_cast<size_t>(inStride) * scale;
        for (int y = 0; y < frameHeight; ++y) {
            unsigned char* row = av->scaled.data() + static_cast<size_t>(y) * scale * outStride;
            const unsigned char* in = rgb + (frameHeight - 1 - y) * inStride;
            unsigned char* out = row;
            for (int x = 0; x < frameWidth; ++x, in += 3)
                for (int k = 0; k < scale; ++k, out += 3) {
                    out[0] = in[0];
                    out[1] = in[1];
                    out[2] = in[2];
                }
            for (int k = 1; k < scale; ++k)
                std::memcpy(row + k * outStride, row, outStride);
        }
        source = av->scaled.data();
        sourceStride = static_cast<int>(outStride);
    }
    int code = av_frame_make_writable(av->picture);
    if (code < 0)
        return fail("cannot encode the video", code);
    const uint8_t* planes[1] = {source};
    const int strides[1] = {sourceStride};
    sws_scale(av->sws, planes, strides, 0, frameHeight * scale, av->picture->data, av->picture->linesize);
    av->picture->pts = static_cast<int64_t>(queue.taken());
    code = avcodec_send_frame(av->video.context, av->picture);
    if (code < 0)
        return fail("cannot encode the video", code);
    return drain(av->video, false);
}

bool VideoWriter::encodeAudio(const int16_t* stereo, uint32_t frames)
{
    av->soundKept += frames;
    const int size = av->sound->nb_samples;
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(av->sound->format));
    const int bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(av->sound->format));
    while (frames > 0) {
        if (av->soundFill == 0) {
            int code = av_frame_make_writable(av->sound);
            if (code < 0)
                return fail("cannot encode the sound", code);
        }
        int n = size - av->soundFill;
        if (static_cast<uint32_t>(n) > frames)
            n = static_cast<int>(frames);
        uint8_t* out[2];
        if (planar) {
            out[0] = av->sound->data[0] + static_cast<size_t>(av->soundFill) * bytes;
            out[1] = av->sound->data[1] + static_cast<size_t>(av->soundFill) * bytes;
        } else {
            out[0] = av->sound->data[0] + static_cast<size_t>(av->soundFill) * bytes * 2;
            out[1] = nullptr;
        }
        const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(stereo)};
        if (swr_convert(av->swr, out, n, in, n) != n)
            return fail("cannot convert the sound");
        av->soundFill += n;
        stereo += static_cast<size_t>(n) * 2;
        frames -= static_cast<uint32_t>(n);
        if (av->soundFill == size && !flushAudio(false))
            return false;
    }
    return true;
}

// Sends the samples gathered in `sound`; the last one may be shorter than the codec's frame.
bool VideoWriter::flushAudio(bool last)
{
    if (av->soundFill == 0)
        return true;
    if (last && av->soundFill < av->sound->nb_samples) {
        if (av->audio.context->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) {
            av->sound->nb_samples = av->soundFill;
        } else {
            av_samples_set_silence(av->sound->data, av->soundFill, av->sound->nb_samples - av->soundFill,
                                   av->sound->ch_layout.nb_channels,
                                   static_cast<AVSampleFormat>(av->sound->format));
            av->soundFill = av->sound->nb_samples;
        }
    }
    av->sound->pts = av->soundPts;
    av->soundPts += av->soundFill;
    av->soundFill = 0;
    int code = avcodec_send_frame(av->audio.context, av->sound);
    if (code < 0)
        return fail("cannot encode the sound", code);
    return drain(av->audio, false);
}

bool VideoWriter::drain(Codec& codec, bool flushing)
{
    for (;;) {
        int code = avcodec_receive_packet(codec.context, av->packet);
        if (code == AVERROR(EAGAIN) || (flushing && code == AVERROR_EOF))
            return true;
        if (code < 0)
            return fail("cannot encode", code);
        av_packet_rescale_ts(av->packet, codec.context->time_base, codec.stream->time_base);
        av->packet->stream_index = codec.stream->index;
        code = av_interleaved_write_frame(av->format, av->packet);
        if (code < 0)
            return fail("cannot write " + output.writePath(), code);
    }
}

bool VideoWriter::finish(std::string& error)
{
    if (!av) {
        error = "no video open";
        return false;
    }
    queue.close();
    bool ok = !failed();
    if (ok) {
        // The sound track runs exactly as long as the pictures: silence fills a short end.
        int64_t wanted = static_cast<int64_t>(samplesUpTo(queue.pushed()));
        static const int16_t silence[2048] = {};
        while (ok && av->soundKept < wanted) {
            int64_t n = wanted - av->soundKept;
            ok = encodeAudio(silence, static_cast<uint32_t>(n < 1024 ? n : 1024));
        }
        ok = ok && flushAudio(true);
        int code = 0;
        if (ok && (code = avcodec_send_frame(av->video.context, nullptr)) < 0)
            ok = fail("cannot encode the video", code);
        ok = ok && drain(av->video, true);
        if (ok && (code = avcodec_send_frame(av->audio.context, nullptr)) < 0)
            ok = fail("cannot encode the sound", code);
        ok = ok && drain(av->audio, true);
        if (ok && (code = av_write_trailer(av->format)) < 0)
            ok = fail("cannot finish " + output.writePath(), code);
        av->headerWritten = false;
        if (ok && av->format->pb) {
            // Any write error along the way, including the last buffer's.
            avio_flush(av->format->pb);
            if (av->format->pb->error < 0)
                ok = fail("cannot write " + output.writePath(), av->format->pb->error);
        }
        if (av->format->pb && (code = avio_closep(&av->format->pb)) < 0 && ok)
            ok = fail("cannot write " + output.writePath(), code);
    }
    closeAll();
    if (ok && !output.commit())
        ok = fail("cannot rename " + output.writePath() + " to " + output.path());
    if (!ok) {
        output.discard();
        error = failure();
    }
    return ok;
}

void VideoWriter::abandon()
{
    if (!av)
        return;
    queue.cancel();
    closeAll();
    output.discard();
}

void VideoWriter::closeAll()
{
    if (!av)
        return;
    if (av->format) {
        if (av->format->pb)
            avio_closep(&av->format->pb);
        avformat_free_context(av->format);
    }
    avcodec_free_context(&av->video.context);
    avcodec_free_context(&av->audio.context);
    sws_freeContext(av->sws);
    swr_free(&av->swr);
    av_frame_free(&av->picture);
    av_frame_free(&av->sound);
    av_packet_free(&av->packet);
    delete av;
    av = nullptr;
}
