// Videos for splash screens, read and decoded with FFmpeg's libavformat and libavcodec:
// every container and codec the installed FFmpeg knows (AVI, MPEG, WMV, MP4, ...). The
// pictures come out one by one as 32-bit images with their times, the sound as one wave
// for our mixer; nothing more of FFmpeg shows outside this unit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Audio.h"
#include "platform/Platform.h"

namespace kelvane {

// The largest picture a video may have: no side above 8192 pixels, at most 2^24 pixels.
constexpr int32_t max_video_side = 8192;
constexpr int64_t max_video_pixels = int64_t(1) << 24;

class VideoDecoder {
  public:
    // The decoder of the first video stream of a file; nullptr with the reason when the
    // file cannot be read, holds no video FFmpeg can decode, or its picture is too large.
    static std::unique_ptr<VideoDecoder> open(const std::string& host_path, std::string* error);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // The size the pictures are shown at: the picture's, widened or narrowed for pixels
    // that are not square.
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    // The next picture, at the video's size, and its time in milliseconds from the first
    // picture's. False at the end of the video or when it cannot be decoded further.
    bool next(Image32& picture, int64_t& time_ms);
    // Back to the start, for a video that loops; false when the file cannot go back.
    bool rewind();

  private:
    struct Impl;
    explicit VideoDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    int32_t width_ = 0, height_ = 0;
};

// The sound of a video (or of any file FFmpeg reads) as one wave of 44100 Hz 16-bit
// stereo, at most `max_ms` long; null when it has no sound that can be decoded.
WavePtr decode_video_sound(const std::string& host_path, int64_t max_ms);

} // namespace kelvane
