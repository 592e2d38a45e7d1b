// Encodes the run's frames and sound into a video file through FFmpeg's libraries.
#include "video_writer.h"

#include "platform/offline.h"

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

struct VideoOutput::Codec {
    AVCodecContext* context = nullptr;
    AVStream* stream = nullptr;
};

struct VideoOutput::Context {
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

uint64_t VideoOutput::frameAt(uint64_t micros) const
{
    return (micros * static_cast<uint64_t>(settings.fps) + 999999) / 1000000;
}

uint64_t VideoOutput::samplesUpTo(uint64_t frame) const
{
    // round(frame x rate / fps), in integers
    return (frame * sampleRate * 2 + static_cast<uint64_t>(settings.fps)) / (2 * static_cast<uint64_t>(settings.fps));
}

bool VideoOutput::failAv(const std::string& what, int code)
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

bool VideoOutput::open(std::string& error)
{
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
    const std::string url = std::string("file:") + output.writePath();
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

    queue.start(itemCount, static_cast<size_t>(offline::frameWidth) * offline::frameHeight * 3, [this] { run(); });
    return true;
}

std::string VideoOutput::openContainer(const std::string& url)
{
    const AVOutputFormat* container =
        av_guess_format(endsWith(settings.path, ".mp4") ? "mp4" : "matroska", nullptr, nullptr);
    if (!container || avformat_alloc_output_context2(&av->format, container, nullptr, url.c_str()) < 0)
        return "cannot set up the container";
    return "";
}

std::string VideoOutput::openVideoEncoder(const AVCodec* codec)
{
    AVCodecContext* v = avcodec_alloc_context3(codec);
    av->video.context = v;
    if (!v)
        return "out of memory";
    v->width = offline::frameWidth * settings.scale;
    v->height = offline::frameHeight * settings.scale;
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

std::string VideoOutput::openAudioEncoder(const AVCodec* codec)
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

std::string VideoOutput::addStreams()
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
std::string VideoOutput::prepareConversions()
{
    AVCodecContext* a = av->audio.context;
    const int width = offline::frameWidth * settings.scale, height = offline::frameHeight * settings.scale;
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

std::string VideoOutput::writeHeader(const std::string& url)
{
    int code = avio_open(&av->format->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (code < 0)
        return std::string("cannot write ") + output.writePath() + ": " + avError(code);
    AVDictionary* options = nullptr;
    if (endsWith(settings.path, ".mp4"))
        av_dict_set(&options, "movflags", "+faststart", 0);
    code = avformat_write_header(av->format, &options);
    av_dict_free(&options);
    if (code < 0)
        return std::string("cannot write ") + output.writePath() + ": " + avError(code);
    av->headerWritten = true;
    return "";
}

bool VideoOutput::frame(const Frame& frame)
{
    const unsigned char* rgb = frame.pixels();
    if (!rgb)
        return fail("cannot read frame " + std::to_string(frame.number));
    WorkQueue::Item* item = queue.claim();
    if (!item)
        return fail(queue.failure());
    // A picture is shown from the first video frame at or after its time, and never two in one.
    int64_t slot = static_cast<int64_t>(frameAt(frame.micros));
    lastSlot = slot > lastSlot ? slot : lastSlot + 1;
    std::memcpy(item->bytes, rgb, static_cast<size_t>(offline::frameWidth) * offline::frameHeight * 3);
    item->kind = Picture;
    item->number = static_cast<uint64_t>(lastSlot);
    queue.push();
    return true;
}

bool VideoOutput::sound(const int16_t* stereo, uint32_t frames, uint32_t rate)
{
    if (rate != sampleRate)
        return fail("the sound comes at " + std::to_string(rate) + " Hz, the video takes " +
                    std::to_string(sampleRate));
    const uint32_t most = static_cast<uint32_t>(offline::frameWidth * offline::frameHeight * 3 / 4);
    while (frames > 0) {
        WorkQueue::Item* item = queue.claim();
        if (!item)
            return fail(queue.failure());
        uint32_t n = frames < most ? frames : most;
        std::memcpy(item->bytes, stereo, static_cast<size_t>(n) * 4);
        item->kind = Sound;
        item->count = n;
        queue.push();
        stereo += static_cast<size_t>(n) * 2;
        frames -= n;
    }
    return true;
}

// Pictures and sound come in the order of the virtual clock; the muxer interleaves the packets.
void VideoOutput::run()
{
    while (WorkQueue::Item* item = queue.next()) {
        bool ok = item->kind == Picture
                      ? encodePicture(item->bytes, static_cast<int64_t>(item->number))
                      : encodeAudio(reinterpret_cast<const int16_t*>(item->bytes), item->count);
        if (!ok)
            return;
        queue.release();
    }
}

// The picture on screen until now, again for every video frame before `end`.
bool VideoOutput::holdPicture(int64_t end)
{
    while (shown >= 0 && shown + 1 < end)
        if (!sendPicture(++shown))
            return false;
    return true;
}

bool VideoOutput::sendPicture(int64_t pts)
{
    av->picture->pts = pts;
    int code = avcodec_send_frame(av->video.context, av->picture);
    if (code < 0)
        return failAv("cannot encode the video", code);
    return drain(av->video, false);
}

bool VideoOutput::encodePicture(const unsigned char* rgb, int64_t pts)
{
    if (!holdPicture(pts))
        return false;
    // The frame comes bottom row first, as GL reads it; the turn is made here, off the render thread.
    const int scale = settings.scale;
    const int inStride = offline::frameWidth * 3;
    const unsigned char* source = rgb + (offline::frameHeight - 1) * inStride;
    int sourceStride = -inStride;
    if (scale > 1) {
        // Nearest neighbour: every pixel becomes a scale x scale block.
        const size_t outStride = static_cast<size_t>(inStride) * scale;
        for (int y = 0; y < offline::frameHeight; ++y) {
            unsigned char* row = av->scaled.data() + static_cast<size_t>(y) * scale * outStride;
            const unsigned char* in = rgb + (offline::frameHeight - 1 - y) * inStride;
            unsigned char* out = row;
            for (int x = 0; x < offline::frameWidth; ++x, in += 3)
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
        return failAv("cannot encode the video", code);
    const uint8_t* planes[1] = {source};
    const int strides[1] = {sourceStride};
    sws_scale(av->sws, planes, strides, 0, offline::frameHeight * scale, av->picture->data, av->picture->linesize);
    // The first picture also stands for any time before it.
    for (int64_t at = shown < 0 ? 0 : pts; at <= pts; ++at)
        if (!sendPicture(at))
            return false;
    shown = pts;
    return true;
}

bool VideoOutput::encodeAudio(const int16_t* stereo, uint32_t frames)
{
    av->soundKept += frames;
    const int size = av->sound->nb_samples;
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(av->sound->format));
    const int bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(av->sound->format));
    while (frames > 0) {
        if (av->soundFill == 0) {
            int code = av_frame_make_writable(av->sound);
            if (code < 0)
                return failAv("cannot encode the sound", code);
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
            return failAv("cannot convert the sound");
        av->soundFill += n;
        stereo += static_cast<size_t>(n) * 2;
        frames -= static_cast<uint32_t>(n);
        if (av->soundFill == size && !flushAudio(false))
            return false;
    }
    return true;
}

// Sends the samples gathered in `sound`; the last one may be shorter than the codec's frame.
bool VideoOutput::flushAudio(bool last)
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
        return failAv("cannot encode the sound", code);
    return drain(av->audio, false);
}

bool VideoOutput::drain(Codec& codec, bool flushing)
{
    for (;;) {
        int code = avcodec_receive_packet(codec.context, av->packet);
        if (code == AVERROR(EAGAIN) || (flushing && code == AVERROR_EOF))
            return true;
        if (code < 0)
            return failAv("cannot encode", code);
        av_packet_rescale_ts(av->packet, codec.context->time_base, codec.stream->time_base);
        av->packet->stream_index = codec.stream->index;
        code = av_interleaved_write_frame(av->format, av->packet);
        if (code < 0)
            return failAv(std::string("cannot write ") + output.writePath(), code);
    }
}

// Everything after the last picture: held to the end, the sound's tail, the encoders' own, the trailer.
bool VideoOutput::complete(const RunEnd& end)
{
    int64_t frames = static_cast<int64_t>(frameAt(end.micros));
    if (frames <= lastSlot)
        frames = lastSlot + 1;
    if (!holdPicture(frames))
        return false;
    // The sound track runs exactly as long as the pictures: silence fills a short end.
    int64_t wanted = static_cast<int64_t>(samplesUpTo(static_cast<uint64_t>(frames)));
    static const int16_t silence[2048] = {};
    while (av->soundKept < wanted) {
        int64_t n = wanted - av->soundKept;
        if (!encodeAudio(silence, static_cast<uint32_t>(n < 1024 ? n : 1024)))
            return false;
    }
    if (!flushAudio(true))
        return false;
    int code = avcodec_send_frame(av->video.context, nullptr);
    if (code < 0 || !drain(av->video, true))
        return code < 0 ? failAv("cannot encode the video", code) : false;
    code = avcodec_send_frame(av->audio.context, nullptr);
    if (code < 0 || !drain(av->audio, true))
        return code < 0 ? failAv("cannot encode the sound", code) : false;
    code = av_write_trailer(av->format);
    av->headerWritten = false;
    if (code < 0)
        return failAv(std::string("cannot finish ") + output.writePath(), code);
    // Any write error along the way, including the last buffer's.
    avio_flush(av->format->pb);
    if (av->format->pb->error < 0)
        return failAv(std::string("cannot write ") + output.writePath(), av->format->pb->error);
    code = avio_closep(&av->format->pb);
    if (code < 0)
        return failAv(std::string("cannot write ") + output.writePath(), code);
    return true;
}

bool VideoOutput::finish(const RunEnd& end, std::string& error)
{
    queue.close();
    bool ok = !queue.failed() && complete(end);
    closeAll();
    if (ok && !output.commit())
        ok = failAv(std::string("cannot rename ") + output.writePath() + " to " + output.path());
    if (!ok) {
        output.discard();
        error = queue.failure();
    }
    committed = ok;
    return ok;
}

VideoOutput::~VideoOutput()
{
    queue.cancel();
    closeAll();
}

void VideoOutput::discard()
{
    queue.cancel();
    closeAll();
    if (output.path()[0])
        output.discard(committed);
    committed = false;
}

void VideoOutput::closeAll()
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
