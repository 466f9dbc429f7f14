// Decoding videos with FFmpeg.
#include "platform/Video_Decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace kelvane {

namespace {

// How many packets one picture may take to arrive before the file counts as unplayable:
// a file of other streams only, or of packets that never make a picture, ends there.
constexpr int32_t max_packets_per_picture = 10000;

} // namespace

struct VideoDecoder::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scale = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int32_t stream = -1;
    bool flushing = false;
    int64_t first_pts = AV_NOPTS_VALUE;

    ~Impl() {
        sws_freeContext(scale);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

VideoDecoder::VideoDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
VideoDecoder::~VideoDecoder() = default;

std::unique_ptr<VideoDecoder> VideoDecoder::open(const std::string& host_path, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::unique_ptr<VideoDecoder>();
    };
    av_log_set_level(AV_LOG_QUIET);
    auto impl = std::make_unique<Impl>();
    if (avformat_open_input(&impl->format, host_path.c_str(), nullptr, nullptr) < 0)
        return fail("not a video file FFmpeg can read");
    if (avformat_find_stream_info(impl->format, nullptr) < 0)
        return fail("its streams cannot be read");
    const AVCodec* codec = nullptr;
    impl->stream = av_find_best_stream(impl->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (impl->stream < 0 || !codec) return fail("no video stream with a known codec");
    const AVCodecParameters* par = impl->format->streams[impl->stream]->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > max_video_side ||
        par->height > max_video_side || int64_t(par->width) * par->height > max_video_pixels)
        return fail("its picture size " + std::to_string(par->width) + " x " +
                    std::to_string(par->height) + " is out of bounds");
    impl->codec = avcodec_alloc_context3(codec);
    if (!impl->codec || avcodec_parameters_to_context(impl->codec, par) < 0)
        return fail("its codec cannot be set up");
    impl->codec->thread_count = 1;
    if (avcodec_open2(impl->codec, codec, nullptr) < 0) return fail("its codec cannot be opened");
    impl->frame = av_frame_alloc();
    impl->packet = av_packet_alloc();
    if (!impl->frame || !impl->packet) return fail("out of memory");
    std::unique_ptr<VideoDecoder> d(new VideoDecoder(std::move(impl)));
    d->width_ = par->width, d->height_ = par->height;
    return d;
}

bool VideoDecoder::next(Image32& picture, int64_t& time_ms) {
    Impl& v = *impl_;
    for (int32_t packets = 0; packets < max_packets_per_picture;) {
        int r = avcodec_receive_frame(v.codec, v.frame);
        if (r == 0) {
            const AVFrame& f = *v.frame;
            // A picture whose size or format changed midway is scaled to the video's size.
            if (f.width <= 0 || f.height <= 0 || f.width > max_video_side ||
                f.height > max_video_side || int64_t(f.width) * f.height > max_video_pixels) {
                av_frame_unref(v.frame);
                return false;
            }
            v.scale = sws_getCachedContext(v.scale, f.width, f.height, AVPixelFormat(f.format),
                                           width_, height_, AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr,
                                           nullptr, nullptr);
            if (!v.scale) {
                av_frame_unref(v.frame);
                return false;
            }
            picture.width = width_, picture.height = height_;
            picture.pixels.assign(size_t(width_) * size_t(height_), 0);
            uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(picture.pixels.data()), nullptr,
                                  nullptr, nullptr};
            int strides[4] = {width_ * 4, 0, 0, 0};
            sws_scale(v.scale, f.data, f.linesize, 0, f.height, planes, strides);
            for (uint32_t& p : picture.pixels) p &= 0xFFFFFF;
            int64_t pts = f.best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE) pts = v.first_pts == AV_NOPTS_VALUE ? 0 : v.first_pts;
            if (v.first_pts == AV_NOPTS_VALUE) v.first_pts = pts;
            const AVRational tb = v.format->streams[v.stream]->time_base;
            time_ms = av_rescale_q(pts - v.first_pts, tb, AVRational{1, 1000});
            av_frame_unref(v.frame);
            return true;
        }
        if (r != AVERROR(EAGAIN) || v.flushing) return false;
        r = av_read_frame(v.format, v.packet);
        ++packets;
        if (r < 0) {
            // The end of the file: the decoder gives up what it holds back.
            v.flushing = true;
            avcodec_send_packet(v.codec, nullptr);
            continue;
        }
        if (v.packet->stream_index == v.stream) {
            // A packet the decoder refuses is dropped; the next one may decode.
            avcodec_send_packet(v.codec, v.packet);
        }
        av_packet_unref(v.packet);
    }
    return false;
}

bool VideoDecoder::rewind() {
    Impl& v = *impl_;
    if (av_seek_frame(v.format, v.stream, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(v.format, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
        return false;
    avcodec_flush_buffers(v.codec);
    v.flushing = false;
    v.first_pts = AV_NOPTS_VALUE;
    return true;
}

} // namespace kelvane
