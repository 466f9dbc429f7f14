// The loading window's layout, progress and picture, and its default pictures.
#include "runner/Runner_LoadForm.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "graphics/Graphics_GDI.h"

namespace kelvane {

namespace {

uint32_t rgb(int r, int g, int b) {
    auto c = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
    return c(r) | c(g) << 8 | c(b) << 16;
}

void fill_rect(Bitmap24& img, int x0, int y0, int x1, int y1, uint32_t colour) {
    for (int y = std::max(y0, 0); y < std::min(y1, img.height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, img.width); ++x) img.set_pixel(x, y, colour);
}

void frame_rect(Bitmap24& img, int x0, int y0, int x1, int y1, uint32_t light, uint32_t dark) {
    fill_rect(img, x0, y0, x1, y0 + 1, light);
    fill_rect(img, x0, y0, x0 + 1, y1, light);
    fill_rect(img, x0, y1 - 1, x1, y1, dark);
    fill_rect(img, x1 - 1, y0, x1, y1, dark);
}

} // namespace

Bitmap24 default_loading_picture() {
    // A deep blue panel fading downwards, a raised rim, three tilted tiles as an emblem and
    // a groove where the bar sits.
    Bitmap24 img(340, 100);
    for (int y = 0; y < img.height; ++y) {
        const double t = y / 99.0;
        fill_rect(img, 0, y, img.width, y + 1,
                  rgb(int(28 + 30 * t), int(44 + 40 * t), int(92 + 60 * t)));
    }
    frame_rect(img, 0, 0, 340, 100, rgb(150, 170, 220), rgb(10, 16, 40));
    frame_rect(img, 1, 1, 339, 99, rgb(90, 110, 170), rgb(20, 28, 64));
    const uint32_t tiles[3] = {rgb(236, 184, 52), rgb(220, 90, 70), rgb(90, 196, 120)};
    for (int k = 0; k < 3; ++k) {
        const double cx = 40 + k * 30, cy = 36, half = 11;
        for (int y = int(cy - 16); y <= int(cy + 16); ++y)
            for (int x = int(cx - 16); x <= int(cx + 16); ++x) {
                // A square turned by 45 degrees: |dx| + |dy| <= size.
                const double d = std::abs(x - cx) + std::abs(y - cy);
                if (d <= half + 4) img.set_pixel(x, y, d > half + 2 ? rgb(12, 20, 48) : tiles[k]);
                if (d <= half - 6) img.set_pixel(x, y, rgb(255, 255, 255));
            }
    }
    for (int x = 120; x < 316; ++x) {
        // Thin lines to the right of the emblem, fading out.
        const int shade = 200 - (x - 120) / 2;
        img.set_pixel(x, 28, rgb(shade, shade, std::min(255, shade + 30)));
        img.set_pixel(x, 36, rgb(shade - 40, shade - 30, shade));
        img.set_pixel(x, 44, rgb(shade - 80, shade - 70, shade - 30));
    }
    frame_rect(img, 22, 66, 318, 90, rgb(12, 20, 48), rgb(140, 160, 210));
    return img;
}

Bitmap24 default_bar_back() {
    Bitmap24 img(289, 16, rgb(52, 58, 72));
    for (int y = 1; y < 15; ++y) fill_rect(img, 1, y, 288, y + 1, rgb(40 + y, 46 + y, 60 + y));
    frame_rect(img, 0, 0, 289, 16, rgb(20, 22, 30), rgb(170, 176, 190));
    return img;
}

Bitmap24 default_bar_front() {
    Bitmap24 img(105, 14);
    for (int y = 0; y < 14; ++y) {
        // Bright on top, deeper below: it keeps its look when stretched sideways.
        const int g = 230 - y * 9;
        fill_rect(img, 0, y, 105, y + 1, rgb(60 + (13 - y) * 4, g, 90 - y * 2));
    }
    fill_rect(img, 0, 0, 105, 1, rgb(200, 255, 200));
    return img;
}

TLoadForm::TLoadForm()
    : image_(default_loading_picture()), back_(default_bar_back()), front_(default_bar_front()) {
    // The label's text in the form's font (8-point MS Sans Serif), black, centred
    // vertically, cut at the label's edges.
    text_painter = [fonts = std::make_shared<CFonts>()](DDSurface& target, RRect rect,
                                                        const std::string& text) {
        const RRect whole = target.clip;
        target.clip = rect;
        CCanvas canvas(target, fonts.get());
        canvas.font.spec = {"MS Sans Serif", font_height_for_points(8), false, false};
        canvas.brush.style = brush_hollow;
        canvas.text_out(rect.left, rect.top + (rect.height() - canvas.text_height(text)) / 2, text);
        target.clip = whole;
    };
}

void TLoadForm::set_pictures(const RLoadingPictures& pictures) {
    load_bar_ = pictures.load_bar;
    if (pictures.image && !pictures.image->empty()) image_ = *pictures.image;
    if (load_bar_ == 2) {
        if (pictures.bar_back && !pictures.bar_back->empty()) back_ = *pictures.bar_back;
        if (pictures.bar_front && !pictures.bar_front->empty()) front_ = *pictures.bar_front;
    }
}

void TLoadForm::show(bool debug, int32_t screen_width, int32_t screen_height) {
    bar_visible_ = load_bar_ > 0;
    label_visible_ = bar_visible_ && debug;
    const int32_t cw = image_.width, ch = image_.height;
    left_ = (screen_width - cw) / 2;
    top_ = (screen_height - ch) / 2;
    const int32_t bar_left = empty_.left;
    empty_ = {bar_left, ch - 32, cw - bar_left, ch - 32 + empty_.height()};
    full_ = {full_.left, ch - 30, full_.right, ch - 30 + full_.height()};
    label_ = {label_.left, ch - 32, label_.right, ch - 32 + label_.height()};
    visible_ = true;
    progress(0, "Loading");
}

void TLoadForm::progress(int percent, const std::string& caption) {
    const double width = double(percent) * empty_.width() / 100;
    full_.right = full_.left + round_pixel(width);
    label_text_ = caption;
}

void TLoadForm::hide() {
    visible_ = false;
    image_ = back_ = front_ = Bitmap24();
}

Image32 TLoadForm::render() const {
    DDSurface out;
    if (!out.create(image_.width, image_.height, false, 0, false)) return Image32();
    out.draw_bitmap(image_, 0, 0);
    auto stretched = [&](const Bitmap24& picture, RRect to) {
        if (picture.empty() || to.width() <= 0 || to.height() <= 0) return;
        DDSurface from;
        if (!from.create(picture.width, picture.height, false, 0, false)) return;
        from.draw_bitmap(picture, 0, 0);
        out.copy(to.left, to.top, {0, 0, picture.width, picture.height}, from, true,
                 double(to.width()) / picture.width, double(to.height()) / picture.height);
    };
    if (bar_visible_) {
        stretched(back_, empty_);
        stretched(front_, full_);
    }
    if (label_visible_ && text_painter) text_painter(out, label_, label_text_);
    return out.surface;
}

} // namespace kelvane
