// Splash screens (TSplashForm): a picture, a text or a video shown over the game until a
// key, a click, the delay or the video's end closes it; windowed at the content's size,
// centred, or over the whole game picture when full.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/Support_Bitmap24.h"
#include "graphics/Form_Host.h"
#include "graphics/Help_Rtf.h"
#include "platform/Video_Decoder.h"

namespace kelvane {

struct Runtime;

class TSplashForm : public TForm {
  public:
    // A picture: windowed at its size, full over the picture's whole `w` x `h` and
    // stretched by min(h / picture height, w / picture width), centred.
    TSplashForm(Bitmap24 picture, bool full, int32_t w, int32_t h, int64_t delay_ms);
    // A text document on a colour, 20 pixels from the edges, in a window of `w` x `h`.
    TSplashForm(RRtfDocument text, uint32_t back, int32_t w, int32_t h, int64_t delay_ms);
    int32_t client_width() const override { return w_; }
    int32_t client_height() const override { return h_; }
    void frame(CUi& ui) override;
    void answer(const std::string&) override { closed = true; }
    bool takes_answer() const override { return false; }

  private:
    std::optional<Bitmap24> picture_;
    RRtfDocument text_;
    uint32_t back_ = 0;
    bool full_ = false;
    int32_t w_, h_;
    int64_t delay_ms_;
    int64_t start_ms_ = -1;
};

// A video: windowed at its size, full over the picture's whole `w` x `h` and scaled by
// min(h / video height, w / video width), centred on black. Its pictures follow the clock;
// at its end it starts again when it loops, else the window closes.
class TVideoForm : public TForm {
  public:
    // With `mixer` and `sound`, the sound plays with the pictures, from the start again at
    // each loop; it stops when the window closes.
    TVideoForm(std::unique_ptr<VideoDecoder> video, bool full, bool loop, int32_t w, int32_t h,
               AudioMixer* mixer = nullptr, WavePtr sound = nullptr);
    ~TVideoForm() override;
    int32_t client_width() const override { return w_; }
    int32_t client_height() const override { return h_; }
    void frame(CUi& ui) override;
    void answer(const std::string&) override { closed = true; }
    bool takes_answer() const override { return false; }

    int64_t pictures_shown = 0;
    int32_t loops = 0;

  private:
    std::unique_ptr<VideoDecoder> video_;
    bool full_, loop_;
    int32_t w_, h_;
    int64_t start_ms_ = -1;
    Image32 shown_, next_;
    int64_t next_ms_ = 0;
    bool has_next_ = false, has_shown_ = false;
    int64_t end_ms_ = -1; // when the last picture has had its time
    AudioMixer* mixer_;
    int32_t voice_ = -1;
    bool advance(int64_t elapsed);
    void stop_sound();
};

void show_image(Runtime& rt, const std::string& file, bool full, int64_t delay_ms);
void show_text(Runtime& rt, const std::string& file, bool full, uint32_t back, int64_t delay_ms);
// Nothing when the file is missing or cannot be played, and nothing headless.
void show_video(Runtime& rt, const std::string& file, bool full, bool loop);

} // namespace kelvane
