// Decoding videos with FFmpeg.
#include "platform/Video_Decoder.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <string_view>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "platform/Libraries.h"

namespace kelvane {

namespace {

// FFmpeg's libraries are loaded when the first video is opened, not when the program
// starts: with what they need in turn they are about a hundred libraries and some 19 MiB
// of resident memory that a game without videos would carry for nothing.
#define KELVANE_FFMPEG_FUNCTIONS(X)                                                                \
    X(avutil, av_frame_unref)                                                                      \
    X(avutil, av_frame_free)                                                                       \
    X(avutil, av_frame_alloc)                                                                      \
    X(avutil, av_log_set_level)                                                                    \
    X(avutil, av_rescale_q)                                                                        \
    X(avutil, av_rescale)                                                                          \
    X(avutil, av_freep)                                                                            \
    X(avutil, av_dict_set)                                                                         \
    X(avutil, av_dict_free)                                                                        \
    X(avutil, av_image_alloc)                                                                      \
    X(avutil, av_channel_layout_uninit)                                                            \
    X(avutil, av_channel_layout_copy)                                                              \
    X(avutil, av_channel_layout_compare)                                                           \
    X(avcodec, avcodec_send_packet)                                                                \
    X(avcodec, avcodec_receive_frame)                                                              \
    X(avcodec, avcodec_parameters_to_context)                                                      \
    X(avcodec, avcodec_open2)                                                                      \
    X(avcodec, avcodec_free_context)                                                               \
    X(avcodec, avcodec_alloc_context3)                                                             \
    X(avcodec, avcodec_flush_buffers)                                                              \
    X(avcodec, av_packet_unref)                                                                    \
    X(avcodec, av_packet_free)                                                                     \
    X(avcodec, av_packet_alloc)                                                                    \
    X(avformat, avformat_find_stream_info)                                                         \
    X(avformat, avformat_close_input)                                                              \
    X(avformat, avformat_seek_file)                                                                \
    X(avformat, avformat_open_input)                                                               \
    X(avformat, av_read_frame)                                                                     \
    X(avformat, av_find_best_stream)                                                               \
    X(avformat, av_seek_frame)                                                                     \
    X(avformat, av_guess_sample_aspect_ratio)                                                      \
    X(avformat, av_guess_frame_rate)                                                               \
    X(swscale, sws_scale)                                                                          \
    X(swscale, sws_getCachedContext)                                                               \
    X(swscale, sws_freeContext)                                                                    \
    X(swresample, swr_free)                                                                        \
    X(swresample, swr_init)                                                                        \
    X(swresample, swr_get_out_samples)                                                             \
    X(swresample, swr_convert)                                                                     \
    X(swresample, swr_alloc_set_opts2)

struct FFmpeg {
#define KELVANE_FFMPEG_POINTER(library, name) decltype(&::name) name = nullptr;
    KELVANE_FFMPEG_FUNCTIONS(KELVANE_FFMPEG_POINTER)
#undef KELVANE_FFMPEG_POINTER
};

const FFmpeg* ff = nullptr;
std::string ff_error;
std::once_flag ff_once;

// The library of the major version the program was built against, e.g. libavcodec.so.59.
#define KELVANE_FFMPEG_SONAME(name, major) ("lib" #name ".so." + std::to_string(major))

void load_ffmpeg() {
    // Each library before those that need it.
    const std::pair<const char*, std::string> names[] = {
        {"avutil", KELVANE_FFMPEG_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR)},
        {"swresample", KELVANE_FFMPEG_SONAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR)},
        {"swscale", KELVANE_FFMPEG_SONAME(swscale, LIBSWSCALE_VERSION_MAJOR)},
        {"avcodec", KELVANE_FFMPEG_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR)},
        {"avformat", KELVANE_FFMPEG_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR)},
    };
    LateLibrary libraries[std::size(names)];
    for (size_t i = 0; i < std::size(names); ++i) {
        std::string why;
        if (!libraries[i].open(names[i].second, why)) {
            ff_error = "FFmpeg cannot be loaded (" + why + ")";
            return;
        }
    }
    auto library = [&](std::string_view name) -> const LateLibrary& {
        size_t i = 0;
        while (i + 1 < std::size(names) && name != names[i].first) ++i;
        return libraries[i];
    };
    static FFmpeg loaded;
#define KELVANE_FFMPEG_FIND(lib, name)                                                             \
    if (!library(#lib).find(loaded.name, #name, "FFmpeg", ff_error)) return;
    KELVANE_FFMPEG_FUNCTIONS(KELVANE_FFMPEG_FIND)
#undef KELVANE_FFMPEG_FIND
    ff = &loaded;
}

// True once FFmpeg is loaded; else false with the reason.
bool have_ffmpeg(std::string* error) {
    std::call_once(ff_once, load_ffmpeg);
    if (!ff && error) *error = ff_error;
    return ff != nullptr;
}

} // namespace

namespace {

// How many packets one picture may take to arrive before the file counts as unplayable:
// a file of other streams only, or of packets that never make a picture, ends there.
constexpr int32_t max_packets_per_picture = 10000;

// Opens a file of the local file system, and nothing else: the name is never taken as a
// URL, and a file that names others (a playlist, a reference movie) may reach local files
// only, never the network.
bool open_local_file(AVFormatContext** format, const std::string& host_path) {
    AVDictionary* options = nullptr;
    ff->av_dict_set(&options, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + host_path;
    const int result = ff->avformat_open_input(format, url.c_str(), nullptr, &options);
    ff->av_dict_free(&options);
    return result >= 0;
}

} // namespace

struct VideoDecoder::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scale = nullptr;
    // The scaler's output: rows aligned and padded, since its fast paths write whole blocks
    // of pixels and may pass the end of a row that is not a multiple of them.
    uint8_t* scaled[4] = {};
    int scaled_stride[4] = {};
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int32_t stream = -1;
    bool flushing = false;
    int64_t first_pts = AV_NOPTS_VALUE;
    int64_t last_pts = AV_NOPTS_VALUE;

    ~Impl() {
        ff->sws_freeContext(scale);
        ff->av_freep(&scaled[0]);
        ff->av_frame_free(&frame);
        ff->av_packet_free(&packet);
        ff->avcodec_free_context(&codec);
        ff->avformat_close_input(&format);
    }
};

VideoDecoder::VideoDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
VideoDecoder::~VideoDecoder() = default;

std::unique_ptr<VideoDecoder> VideoDecoder::open(const std::string& host_path, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::unique_ptr<VideoDecoder>();
    };
    std::string missing;
    if (!have_ffmpeg(&missing)) return fail(missing);
    ff->av_log_set_level(AV_LOG_QUIET);
    auto impl = std::make_unique<Impl>();
    if (!open_local_file(&impl->format, host_path)) return fail("not a video file FFmpeg can read");
    if (ff->avformat_find_stream_info(impl->format, nullptr) < 0)
        return fail("its streams cannot be read");
    const AVCodec* codec = nullptr;
    impl->stream = ff->av_find_best_stream(impl->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (impl->stream < 0 || !codec) return fail("no video stream with a known codec");
    const AVCodecParameters* par = impl->format->streams[impl->stream]->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > max_video_side ||
        par->height > max_video_side || int64_t(par->width) * par->height > max_video_pixels)
        return fail("its picture size " + std::to_string(par->width) + " x " +
                    std::to_string(par->height) + " is out of bounds");
    impl->codec = ff->avcodec_alloc_context3(codec);
    if (!impl->codec || ff->avcodec_parameters_to_context(impl->codec, par) < 0)
        return fail("its codec cannot be set up");
    impl->codec->thread_count = 1;
    if (ff->avcodec_open2(impl->codec, codec, nullptr) < 0)
        return fail("its codec cannot be opened");
    impl->frame = ff->av_frame_alloc();
    impl->packet = ff->av_packet_alloc();
    if (!impl->frame || !impl->packet) return fail("out of memory");
    // The picture as it is meant to be seen: pixels that are not square widen or narrow it.
    int64_t shown_width = par->width;
    const AVRational aspect = ff->av_guess_sample_aspect_ratio(
        impl->format, impl->format->streams[impl->stream], nullptr);
    if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den)
        shown_width =
            std::clamp<int64_t>(ff->av_rescale(par->width, aspect.num, aspect.den), 1,
                                std::min<int64_t>(max_video_side, max_video_pixels / par->height));
    std::unique_ptr<VideoDecoder> d(new VideoDecoder(std::move(impl)));
    d->width_ = int32_t(shown_width), d->height_ = par->height;
    return d;
}

bool VideoDecoder::next(Image32& picture, int64_t& time_ms) {
    Impl& v = *impl_;
    for (int32_t packets = 0; packets < max_packets_per_picture;) {
        int r = ff->avcodec_receive_frame(v.codec, v.frame);
        if (r == 0) {
            const AVFrame& f = *v.frame;
            // A picture whose size or format changed midway is scaled to the video's size.
            if (f.width <= 0 || f.height <= 0 || f.width > max_video_side ||
                f.height > max_video_side || int64_t(f.width) * f.height > max_video_pixels) {
                ff->av_frame_unref(v.frame);
                return false;
            }
            v.scale = ff->sws_getCachedContext(v.scale, f.width, f.height, AVPixelFormat(f.format),
                                               width_, height_, AV_PIX_FMT_BGR0, SWS_BILINEAR,
                                               nullptr, nullptr, nullptr);
            if (!v.scale) {
                ff->av_frame_unref(v.frame);
                return false;
            }
            // Two rows more than the picture, each 64-byte aligned: room for what the
            // scaler writes past the last pixel.
            if (!v.scaled[0] && ff->av_image_alloc(v.scaled, v.scaled_stride, width_, height_ + 2,
                                                   AV_PIX_FMT_BGR0, 64) < 0) {
                ff->av_frame_unref(v.frame);
                return false;
            }
            ff->sws_scale(v.scale, f.data, f.linesize, 0, f.height, v.scaled, v.scaled_stride);
            picture.width = width_, picture.height = height_;
            picture.pixels.resize(size_t(width_) * size_t(height_));
            for (int32_t y = 0; y < height_; ++y) {
                const auto* row =
                    reinterpret_cast<const uint32_t*>(v.scaled[0] + size_t(y) * v.scaled_stride[0]);
                uint32_t* out = picture.pixels.data() + size_t(y) * size_t(width_);
                for (int32_t x = 0; x < width_; ++x) out[x] = row[x] & 0xFFFFFF;
            }
            // A picture without a time (the last ones a decoder gives up, in some files)
            // comes one picture after the one before; times never go back.
            const AVRational tb = v.format->streams[v.stream]->time_base;
            int64_t pts = f.best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE && v.last_pts != AV_NOPTS_VALUE) {
                const AVRational rate =
                    ff->av_guess_frame_rate(v.format, v.format->streams[v.stream], nullptr);
                const int64_t step =
                    rate.num > 0 && rate.den > 0 ? ff->av_rescale_q(1, av_inv_q(rate), tb) : 0;
                pts = v.last_pts + std::max<int64_t>(step, 0);
            }
            if (pts == AV_NOPTS_VALUE) pts = v.first_pts == AV_NOPTS_VALUE ? 0 : v.first_pts;
            if (v.last_pts != AV_NOPTS_VALUE) pts = std::max(pts, v.last_pts);
            if (v.first_pts == AV_NOPTS_VALUE) v.first_pts = pts;
            v.last_pts = pts;
            time_ms = ff->av_rescale_q(pts - v.first_pts, tb, AVRational{1, 1000});
            ff->av_frame_unref(v.frame);
            return true;
        }
        if (r != AVERROR(EAGAIN) || v.flushing) return false;
        r = ff->av_read_frame(v.format, v.packet);
        ++packets;
        if (r < 0) {
            // The end of the file: the decoder gives up what it holds back.
            v.flushing = true;
            ff->avcodec_send_packet(v.codec, nullptr);
            continue;
        }
        if (v.packet->stream_index == v.stream) {
            // A packet the decoder refuses is dropped; the next one may decode.
            ff->avcodec_send_packet(v.codec, v.packet);
        }
        ff->av_packet_unref(v.packet);
    }
    return false;
}

bool VideoDecoder::rewind() {
    Impl& v = *impl_;
    if (ff->av_seek_frame(v.format, v.stream, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        ff->avformat_seek_file(v.format, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
        return false;
    ff->avcodec_flush_buffers(v.codec);
    v.flushing = false;
    v.first_pts = AV_NOPTS_VALUE;
    v.last_pts = AV_NOPTS_VALUE;
    return true;
}

WavePtr decode_video_sound(const std::string& host_path, int64_t max_ms) {
    if (!have_ffmpeg(nullptr)) return nullptr;
    ff->av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resample = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    struct Release {
        AVFormatContext*& f;
        AVCodecContext*& c;
        SwrContext*& s;
        AVFrame*& fr;
        AVPacket*& p;
        ~Release() {
            ff->swr_free(&s);
            ff->av_frame_free(&fr);
            ff->av_packet_free(&p);
            ff->avcodec_free_context(&c);
            ff->avformat_close_input(&f);
        }
    } release{format, codec, resample, frame, packet};

    if (!open_local_file(&format, host_path)) return nullptr;
    if (ff->avformat_find_stream_info(format, nullptr) < 0) return nullptr;
    const AVCodec* decoder = nullptr;
    const int stream = ff->av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder) return nullptr;
    codec = ff->avcodec_alloc_context3(decoder);
    if (!codec || ff->avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) < 0)
        return nullptr;
    codec->thread_count = 1;
    if (ff->avcodec_open2(codec, decoder, nullptr) < 0) return nullptr;
    // The resampler is set up for the samples as they come: a frame whose format, rate or
    // channels differ from the one before gets a resampler of its own kind (what was held
    // back by the old one is lost, a few samples at most).
    AVChannelLayout in_layout{};
    AVSampleFormat in_format = AV_SAMPLE_FMT_NONE;
    int in_rate = 0;
    auto set_up = [&](const AVChannelLayout& layout, int format, int rate) {
        if (rate <= 0 || rate > 384000 || layout.nb_channels <= 0 || layout.nb_channels > 64 ||
            format < 0 || format >= AV_SAMPLE_FMT_NB)
            return false;
        if (resample && in_rate == rate && in_format == format &&
            ff->av_channel_layout_compare(&in_layout, &layout) == 0)
            return true;
        ff->swr_free(&resample);
        ff->av_channel_layout_uninit(&in_layout);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (ff->av_channel_layout_copy(&in_layout, &layout) < 0 ||
            ff->swr_alloc_set_opts2(&resample, &stereo, AV_SAMPLE_FMT_S16, audio_rate, &in_layout,
                                    AVSampleFormat(format), rate, 0, nullptr) < 0 ||
            ff->swr_init(resample) < 0) {
            ff->swr_free(&resample);
            return false;
        }
        in_format = AVSampleFormat(format), in_rate = rate;
        return true;
    };
    struct Layout {
        AVChannelLayout& l;
        ~Layout() { ff->av_channel_layout_uninit(&l); }
    } release_layout{in_layout};
    if (!set_up(codec->ch_layout, codec->sample_fmt, codec->sample_rate)) return nullptr;
    frame = ff->av_frame_alloc();
    packet = ff->av_packet_alloc();
    if (!frame || !packet) return nullptr;

    auto wave = std::make_shared<RWave>();
    wave->rate = audio_rate, wave->channels = 2;
    const size_t max_samples = size_t(std::max<int64_t>(0, max_ms)) * audio_rate / 1000 * 2;
    auto take = [&](const AVFrame* f) {
        // What the resampler gives for this frame (and what it still holds, at the end).
        if (f && !set_up(f->ch_layout, f->format, f->sample_rate)) return;
        if (!resample) return;
        const int in = f ? f->nb_samples : 0;
        const int room = ff->swr_get_out_samples(resample, in);
        if (room <= 0 || room > (1 << 22)) return;
        const size_t at = wave->samples.size();
        wave->samples.resize(at + size_t(room) * 2);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(wave->samples.data() + at)};
        const int got = ff->swr_convert(
            resample, out, room, f ? const_cast<const uint8_t**>(f->extended_data) : nullptr, in);
        wave->samples.resize(at + size_t(std::max(0, got)) * 2);
    };
    bool flushing = false;
    while (wave->samples.size() < max_samples) {
        int r = ff->avcodec_receive_frame(codec, frame);
        if (r == 0) {
            take(frame);
            ff->av_frame_unref(frame);
            continue;
        }
        if (r != AVERROR(EAGAIN) || flushing) break;
        if (ff->av_read_frame(format, packet) < 0) {
            flushing = true;
            ff->avcodec_send_packet(codec, nullptr);
            continue;
        }
        if (packet->stream_index == stream) ff->avcodec_send_packet(codec, packet);
        ff->av_packet_unref(packet);
    }
    take(nullptr);
    if (wave->samples.size() > max_samples) wave->samples.resize(max_samples);
    if (wave->samples.empty()) return nullptr;
    return wave;
}

} // namespace kelvane
