// Splash screens (TSplashForm): a picture or a text shown over the game until a key, a
// click or the delay closes it; windowed at the content's size, centred, or over the
// whole game picture when full.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "graphics/Support_Bitmap24.h"
#include "runner/Form_Host.h"
#include "runner/Help_Rtf.h"

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

void show_image(Runtime& rt, const std::string& file, bool full, int64_t delay_ms);
void show_text(Runtime& rt, const std::string& file, bool full, uint32_t back, int64_t delay_ms);

} // namespace kelvane
