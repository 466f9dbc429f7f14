// Splash screens of pictures and texts.
#include "functions/Runner_Splash.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/Support_Picture.h"
#include "graphics/Help_Form.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {
constexpr size_t max_text_file = size_t(16) << 20;
constexpr int32_t text_border = 20;
} // namespace

TSplashForm::TSplashForm(Bitmap24 picture, bool full, int32_t w, int32_t h, int64_t delay_ms)
    : picture_(std::move(picture)), full_(full), w_(full ? w : picture_->width),
      h_(full ? h : picture_->height), delay_ms_(delay_ms) {}

TSplashForm::TSplashForm(RRtfDocument text, uint32_t back, int32_t w, int32_t h, int64_t delay_ms)
    : text_(std::move(text)), back_(back), w_(w), h_(h), delay_ms_(delay_ms) {}

void TSplashForm::frame(CUi& ui) {
    if (start_ms_ < 0) start_ms_ = ui.in.now_ms;
    if (!ui.in.keys.empty() || ui.in.mouse_pressed) closed = true;
    if (delay_ms_ > 0 && ui.in.now_ms - start_ms_ >= delay_ms_) closed = true;
    if (picture_) {
        ui.fill({0, 0, w_, h_}, 0);
        DDSurface p;
        if (!p.create(picture_->width, picture_->height, false, 0, false)) return;
        p.draw_bitmap(*picture_, 0, 0);
        double scale = full_ ? std::min(double(h_) / p.height, double(w_) / p.width) : 1.0;
        const int32_t sw = round_pixel(p.width * scale), sh = round_pixel(p.height * scale);
        ui.surface.copy_whole((w_ - sw) / 2, (h_ - sh) / 2, p, true, scale, scale);
        return;
    }
    ui.fill({0, 0, w_, h_}, back_);
    const auto lines = layout_document(text_, w_ - 2 * text_border, ui.fonts);
    const RRect old = ui.surface.clip;
    ui.surface.clip = {text_border, text_border, w_ - text_border, h_ - text_border};
    for (const RLaidLine& line : lines) {
        for (const RLaidPiece& piece : line.pieces) {
            CCanvas c = ui.canvas(piece.font);
            CFont* f = ui.fonts.font(piece.font.spec);
            const int32_t ascent = f ? f->metrics().ascent : line.ascent;
            c.text_out(text_border + piece.x, text_border + line.y + line.ascent - ascent,
                       piece.text);
        }
    }
    ui.surface.clip = old;
}

namespace {
// A picture stays this long when the video gives no time for the next one.
constexpr int64_t last_picture_ms = 100;
// At most this many pictures are decoded for one frame of the window: a slow machine
// skips pictures rather than stalling.
constexpr int32_t max_pictures_per_frame = 30;
// The sound of a video plays for at most this long (ten minutes: 106 MB of samples).
constexpr int64_t max_video_sound_ms = 10 * 60 * 1000;
} // namespace

TVideoForm::TVideoForm(std::unique_ptr<VideoDecoder> video, bool full, bool loop, int32_t w,
                       int32_t h, AudioMixer* mixer, WavePtr sound)
    : video_(std::move(video)), full_(full), loop_(loop), w_(full ? w : video_->width()),
      h_(full ? h : video_->height()), mixer_(sound ? mixer : nullptr) {
    if (mixer_) voice_ = mixer_->add_voice(std::move(sound));
}

TVideoForm::~TVideoForm() {
    stop_sound();
}

void TVideoForm::stop_sound() {
    if (mixer_ && voice_ >= 0) mixer_->remove_voice(voice_);
    voice_ = -1;
}

// Shows every picture whose time has come; false when the video has ended for good.
bool TVideoForm::advance(int64_t elapsed) {
    for (int32_t n = 0; n < max_pictures_per_frame; ++n) {
        if (!has_next_) {
            if (end_ms_ < 0) end_ms_ = (has_shown_ ? next_ms_ : 0) + last_picture_ms;
            if (elapsed < end_ms_) return true;
            if (!loop_ || !video_->rewind() || !video_->next(next_, next_ms_)) return false;
            // Again from the start: its clock starts now.
            ++loops;
            if (mixer_ && voice_ >= 0) mixer_->play(voice_, false);
            start_ms_ += elapsed;
            elapsed = 0, end_ms_ = -1;
            has_next_ = true;
        }
        if (next_ms_ > elapsed) return true;
        std::swap(shown_, next_);
        has_shown_ = true;
        ++pictures_shown;
        const int64_t shown_ms = next_ms_;
        has_next_ = video_->next(next_, next_ms_);
        if (!has_next_) next_ms_ = shown_ms;
    }
    return true;
}

void TVideoForm::frame(CUi& ui) {
    if (start_ms_ < 0) {
        start_ms_ = ui.in.now_ms;
        has_next_ = video_->next(next_, next_ms_);
        if (mixer_ && voice_ >= 0) mixer_->play(voice_, false);
    }
    if (!ui.in.keys.empty() || ui.in.mouse_pressed) closed = true;
    if (!closed && !advance(ui.in.now_ms - start_ms_)) closed = true;
    if (closed) stop_sound();
    ui.fill({0, 0, w_, h_}, 0);
    if (!has_shown_) return;
    DDSurface p;
    if (!p.create(shown_.width, shown_.height, false, 0, false)) return;
    p.surface.pixels = shown_.pixels;
    const double scale = full_ ? std::min(double(h_) / p.height, double(w_) / p.width) : 1.0;
    const int32_t sw = round_pixel(p.width * scale), sh = round_pixel(p.height * scale);
    ui.surface.copy_whole((w_ - sw) / 2, (h_ - sh) / 2, p, true, scale, scale);
}

namespace {

void picture_size(Runtime& rt, int32_t& w, int32_t& h) {
    const DDSurface& s = rt.display.screen();
    w = s.exists() ? s.width : rt.display.buffer_width();
    h = s.exists() ? s.height : rt.display.buffer_height();
}

std::optional<std::string> host_file(Runtime& rt, const std::string& file) {
    auto host = rt.file_names.to_host(file);
    std::error_code ec;
    if (!host || !std::filesystem::is_regular_file(*host, ec)) return std::nullopt;
    return host;
}

} // namespace

void show_image(Runtime& rt, const std::string& file, bool full, int64_t delay_ms) {
    if (rt.game.options.exclusive_mode) return;
    auto host = host_file(rt, file);
    if (!host) return;
    auto bytes = read_picture_file(*host);
    if (!bytes) return;
    auto picture = decode_picture_file(*bytes);
    if (!picture || picture->empty()) return;
    int32_t w = 0, h = 0;
    picture_size(rt, w, h);
    TSplashForm form(std::move(*picture), full, w, h, delay_ms);
    RFormPlace place;
    if (full) place.kind = RFormPlace::cover;
    show_form(rt, form, place);
}

void show_text(Runtime& rt, const std::string& file, bool full, uint32_t back, int64_t delay_ms) {
    if (rt.game.options.exclusive_mode) return;
    auto host = host_file(rt, file);
    if (!host) return;
    std::ifstream in(*host, std::ios::binary);
    std::string bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, size_t(in.gcount()));
        if (bytes.size() > max_text_file) return;
    }
    int32_t w = 640, h = 480;
    if (full) picture_size(rt, w, h);
    TSplashForm form(read_rtf(bytes), back & 0xFFFFFF, w, h, delay_ms);
    RFormPlace place;
    if (full) place.kind = RFormPlace::cover;
    show_form(rt, form, place);
}

} // namespace kelvane

namespace kelvane {

void show_video(Runtime& rt, const std::string& file, bool full, bool loop) {
    if (rt.game.options.exclusive_mode || rt.run.headless || !rt.display.initialised()) return;
    auto host = host_file(rt, file);
    if (!host) return;
    auto video = VideoDecoder::open(*host, nullptr);
    if (!video) return;
    int32_t w = 0, h = 0;
    picture_size(rt, w, h);
    // The sound, decoded whole before the pictures start, through our mixer.
    AudioMixer* mixer = rt.platform && rt.platform->audio ? &rt.platform->audio->mixer() : nullptr;
    WavePtr sound = mixer ? decode_video_sound(*host, max_video_sound_ms) : nullptr;
    TVideoForm form(std::move(video), full, loop, w, h, mixer, std::move(sound));
    RFormPlace place;
    if (full) place.kind = RFormPlace::cover;
    show_form(rt, form, place);
}

} // namespace kelvane
