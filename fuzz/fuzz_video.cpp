// fuzz-options: -max_len=65536 -rss_limit_mb=1024 -timeout=20
// libFuzzer target: a video file as a game may carry one. Whatever FFmpeg makes of the
// bytes, our side must hold: the video refused cleanly or its pictures at the size it
// announced, times that never go back, looping back to the start, and its sound a sane
// wave within the length asked for. FFmpeg itself is not instrumented; the target checks
// the code around it (sizes, pixel conversion, timing, resampling).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Fuzz_Folder.h"
#include "platform/Video_Decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvane;
    const std::string path = fuzz::write_private_file("video", data, size);
    if (auto video = VideoDecoder::open(path, nullptr)) {
        if (video->width() <= 0 || video->height() <= 0 || video->width() > max_video_side ||
            int64_t(video->width()) * video->height() > max_video_pixels)
            std::abort();
        for (int round = 0; round < 2; ++round) {
            Image32 picture;
            int64_t ms = 0, last_ms = INT64_MIN;
            for (int n = 0; n < 24 && video->next(picture, ms); ++n) {
                if (picture.width != video->width() || picture.height != video->height() ||
                    picture.pixels.size() != size_t(picture.width) * size_t(picture.height) ||
                    ms < last_ms)
                    std::abort();
                last_ms = ms;
            }
            if (!video->rewind()) break;
        }
    }
    if (WavePtr wave = decode_video_sound(path, 2000)) {
        if (wave->channels != 2 || wave->rate != audio_rate || wave->samples.size() % 2 != 0 ||
            wave->frames() > int64_t(audio_rate) * 2 + 1)
            std::abort();
    }
    return 0;
}
