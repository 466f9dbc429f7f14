// The loading window (TLoadForm): a picture with a progress bar under it and, in debug
// mode, the caption of the current loading step. Its layout and progress rules, and the
// window's picture drawn by us; the platform only shows that picture.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "graphics/Graphics_DDraw.h"
#include "platform/Platform.h"

namespace kelvane {

// The default pictures, drawn by our code.
Bitmap24 default_loading_picture(); // 340 x 100
Bitmap24 default_bar_back();        // the empty bar
Bitmap24 default_bar_front();       // the filled part

class TLoadForm : public LoadingPicture {
  public:
    TLoadForm();

    // The game's own pictures (from its options), replacing the defaults where present.
    void set_pictures(const RLoadingPictures& pictures) override;
    // Lays the window out and centres it on a screen of the given size; progress 0,
    // "Loading".
    void show(bool debug, int32_t screen_width, int32_t screen_height) override;
    void progress(int percent, const std::string& caption) override;
    void hide() override;

    bool visible() const override { return visible_; }
    // Window position on the screen and client size.
    int32_t left() const override { return left_; }
    int32_t top() const override { return top_; }
    int32_t client_width() const override { return image_.width; }
    int32_t client_height() const override { return image_.height; }
    // Component rectangles and visibility.
    RRect empty_bar() const { return empty_; }
    RRect full_bar() const { return full_; }
    RRect label() const { return label_; }
    bool bar_visible() const { return bar_visible_; }
    bool label_visible() const { return label_visible_; }
    const std::string& label_text() const { return label_text_; }

    // The window's picture: the loading picture, the two bar pictures stretched to their
    // rectangles, and the label through `text_painter` when one is set.
    Image32 render() const override;
    std::function<void(DDSurface& target, RRect rect, const std::string& text)> text_painter;

  private:
    Bitmap24 image_, back_, front_;
    int32_t load_bar_ = 1;
    bool visible_ = false, bar_visible_ = false, label_visible_ = false;
    int32_t left_ = 0, top_ = 0;
    RRect empty_{24, 72, 24 + 289, 72 + 16};
    RRect full_{24, 74, 24 + 105, 74 + 14};
    RRect label_{32, 72, 32 + 273, 72 + 17};
    std::string label_text_;
};

} // namespace kelvane
