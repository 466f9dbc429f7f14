// The display state and its operations.
#include "graphics/Graphics_Main.h"

#include <algorithm>
#include <fstream>

#include "graphics/Graphics_Transition.h"
#include "model/Option_Main.h"
#include "run/Runtime.h"

namespace kelvane {

RDisplaySetup display_setup_for(const GameOptions& o, int32_t desktop_width) {
    RDisplaySetup s;
    // 32 bits when asked for: no platform we run on belongs to the old 16-bit-only family.
    s.colour_depth = o.color_depth != 0 ? 32 : 16;
    switch (o.resolution) {
    case 0:
        s.display_width = 640;
        break;
    case 1:
        s.display_width = 800;
        break;
    case 2:
        s.display_width = 1024;
        break;
    case 3:
        s.display_width = 1280;
        break;
    case 4:
        s.display_width = desktop_width;
        break;
    default:
        s.display_width = 800;
        break;
    }
    static const int32_t rates[4] = {60, 70, 85, 100};
    s.refresh_rate = o.frequency >= 0 && o.frequency < 4 ? rates[o.frequency] : 0;
    s.exclusive = o.set_resolution && o.exclusive_mode;
    s.start_full_screen = o.start_full_screen;
    s.window_scale = o.scale_window / 100.0;
    s.full_screen_scale = o.scale_full / 100.0;
    s.buffer_width = 640;
    s.buffer_height = 480;
    s.no_border = o.no_border;
    s.caption_in_full_screen = o.caption_in_full_screen;
    return s;
}

void exclusive_mode_size(int32_t display_width, int32_t& width, int32_t& height) {
    switch (display_width) {
    case 320:
        width = 320, height = 240;
        break;
    case 640:
        width = 640, height = 480;
        break;
    case 1024:
        width = 1024, height = 768;
        break;
    case 1280:
        width = 1280, height = 1024;
        break;
    default:
        width = 800, height = 600;
        break;
    }
}

RPlacement placement_for(bool full_screen, int32_t client_width, int32_t client_height,
                         int32_t buffer_width, int32_t buffer_height, double window_scale,
                         double full_screen_scale) {
    RPlacement p;
    if (!full_screen || buffer_width <= 0 || buffer_height <= 0) {
        p.scale = window_scale > 0 ? window_scale : 1;
        return p;
    }
    const double fit =
        std::min(double(client_width) / buffer_width, double(client_height) / buffer_height);
    p.scale = full_screen_scale > 0 && full_screen_scale <= fit ? full_screen_scale : fit;
    p.x = round_pixel((client_width - buffer_width * p.scale) / 2);
    p.y = round_pixel((client_height - buffer_height * p.scale) / 2);
    return p;
}

std::array<uint16_t, 256> gamma_ramp(double g) {
    g = std::clamp(g == g ? g : 0.0, -1.0, 1.0);
    std::array<uint16_t, 256> ramp{};
    for (int i = 0; i < 256; ++i) {
        double v = g > 0 ? i * (1 - g) * 65535 / 255 + g * 65535 : i * (g + 1) * 65535 / 255;
        ramp[size_t(i)] = uint16_t(std::clamp(round_pixel(v), 0, 65535));
    }
    return ramp;
}

void CDisplay::window_setup(RWindowSetup& setup) const {
    setup.client_width = round_pixel(buffer_.width * window_scale_);
    setup.client_height = round_pixel(buffer_.height * window_scale_);
    setup.full_screen = full_screen_;
    setup.no_border = no_border_;
    setup.on_top = exclusive_;
    setup.caption = caption_;
}

bool CDisplay::initialise(Display& window, const RDisplaySetup& setup) {
    if (initialised_) shut_down();
    window_ = &window;
    exclusive_ = setup.exclusive;
    full_screen_ = setup.start_full_screen || exclusive_;
    window_scale_ = setup.window_scale > 0 ? setup.window_scale : 1;
    full_screen_scale_ = setup.full_screen_scale;
    no_border_ = setup.no_border;
    caption_in_full_screen_ = setup.caption_in_full_screen;
    for (auto& g : gamma_) g = gamma_ramp(0);
    x_offset_ = y_offset_ = 0;
    if (!buffer_.create(setup.buffer_width, setup.buffer_height, true, 0, false) ||
        !screen_.create(setup.buffer_width, setup.buffer_height, true, 0, false)) {
        buffer_.release();
        screen_.release();
        return false;
    }
    RWindowSetup w;
    window_setup(w);
    if (!window.open(w)) {
        window.close();
        buffer_.release();
        screen_.release();
        return false;
    }
    for (int32_t i = first_port; i <= last_port; ++i) clear_port(i);
    set_port(-1, 0, 0, buffer_.width, buffer_.height, 0, 0);
    initialised_ = true;
    select_port(-1);
    buffer_.fill(0);
    screen_.fill(0);
    return true;
}

void CDisplay::shut_down() {
    if (window_) window_->close();
    for (auto* layer : layers_) layer->set_target(nullptr, 0, 0);
    buffer_.release();
    screen_.release();
    initialised_ = false;
}

bool CDisplay::set_buffer_size(int32_t width, int32_t height) {
    if (width == buffer_.width && height == buffer_.height) return true;
    if (!buffer_size_allowed(width, height)) return false;
    DDSurface fresh, fresh_screen;
    if (!fresh.create(width, height, true, 0, false) ||
        !fresh_screen.create(width, height, true, 0, false))
        return false;
    buffer_ = std::move(fresh);
    screen_ = std::move(fresh_screen);
    set_port(-1, 0, 0, width, height, 0, 0);
    if (const RPort* p = port(selected_); p && p->in_use)
        select_port(selected_);
    else
        select_port(-1);
    if (window_ && initialised_)
        window_->set_client_size(round_pixel(width * window_scale_),
                                 round_pixel(height * window_scale_));
    return true;
}

void CDisplay::set_full_screen(bool on) {
    if (exclusive_ || on == full_screen_) return;
    full_screen_ = on;
    if (window_ && initialised_) window_->set_full_screen(on);
}

void CDisplay::set_window_scale(double scale) {
    window_scale_ = scale > 0 ? scale : 1;
    if (window_ && initialised_)
        window_->set_client_size(round_pixel(buffer_.width * window_scale_),
                                 round_pixel(buffer_.height * window_scale_));
}

void CDisplay::set_full_screen_scale(double scale) {
    full_screen_scale_ = scale;
}

const RPort* CDisplay::port(int32_t i) const {
    if (i < first_port || i > last_port) return nullptr;
    return &ports_[size_t(i + 1)];
}

void CDisplay::set_port(int32_t i, int32_t x, int32_t y, int32_t w, int32_t h, int32_t source_x,
                        int32_t source_y) {
    if (i < first_port || i > last_port) return;
    RPort& p = ports_[size_t(i + 1)];
    p.in_use = true;
    p.dest = {x, y, round_pixel(double(x) + w), round_pixel(double(y) + h)};
    p.source_x = source_x;
    p.source_y = source_y;
}

void CDisplay::clear_port(int32_t i) {
    if (i < first_port || i > last_port) return;
    ports_[size_t(i + 1)] = RPort();
}

void CDisplay::select_port(int32_t i) {
    const RPort* p = port(i);
    if (!p || !p->in_use) return;
    selected_ = i;
    buffer_.clip = p->dest;
    x_offset_ = round_pixel(double(p->source_x) - p->dest.left);
    y_offset_ = round_pixel(double(p->source_y) - p->dest.top);
    for (auto* layer : layers_)
        layer->set_target(buffer_.exists() ? &buffer_ : nullptr, x_offset_, y_offset_);
}

void CDisplay::add_layer(DrawingLayer* layer) {
    if (std::find(layers_.begin(), layers_.end(), layer) == layers_.end()) layers_.push_back(layer);
    layer->set_target(initialised_ && buffer_.exists() ? &buffer_ : nullptr, x_offset_, y_offset_);
}

void CDisplay::clear_buffer(bool flag, uint32_t colour) {
    if (flag) buffer_.fill(colour);
}

RPlacement CDisplay::compute_placement() {
    int32_t cw = 0, ch = 0;
    if (window_) window_->client_size(cw, ch);
    placement_ = placement_for(full_screen_, cw, ch, buffer_.width, buffer_.height, window_scale_,
                               full_screen_scale_);
    return placement_;
}

void CDisplay::present_box(const Image32& picture) {
    if (!initialised_ || !window_) return;
    window_->present_box(picture, compute_placement());
}

void CDisplay::window_to_picture(int32_t cx, int32_t cy, double& x, double& y) {
    const RPlacement p = compute_placement();
    x = (cx - p.x) / p.scale;
    y = (cy - p.y) / p.scale;
}

void CDisplay::refresh(int32_t kind, int32_t time, int32_t steps) {
    if (!initialised_ || !buffer_.exists() || !window_) return;
    if (caption_painter && caption_in_full_screen_ && (full_screen_ || no_border_) &&
        !caption_.empty())
        caption_painter(buffer_, caption_);
    const RPlacement placement = compute_placement();
    if (kind != 0) {
        if (transition_copies(kind, steps) == 0) return;
        // The picture on screen may still be the buffer's pixels: keep it apart first.
        buffer_.will_change();
        // The screen picture has the buffer's size: the window does the scaling, so the
        // transition works at scale 1 from the corner and the window places the result.
        screen_.clip = {0, 0, screen_.width, screen_.height};
        RTransitionHooks hooks;
        hooks.wait_vertical_blank = [&] { window_->wait_vertical_blank(); };
        hooks.present = [&] { window_->present(screen_.surface, placement); };
        hooks.pause = [&](int64_t ms) { window_->transition_pause(ms); };
        perform_transition(screen_, buffer_, kind, time, steps, 1, 0, 0, hooks);
        return;
    }
    // The buffer is shown as it is; the screen picture takes its pixels only when the
    // buffer changes next (see show_until_changed).
    buffer_.show_until_changed(&screen_);
    window_->present(buffer_.surface, placement);
}

void CDisplay::mouse_position(int32_t& x, int32_t& y) {
    int32_t cx = 0, cy = 0;
    if (window_) window_->mouse_position(cx, cy);
    const RPlacement p = compute_placement();
    const double rx = (cx - p.x) / p.scale, ry = (cy - p.y) / p.scale;
    const int32_t px = round_pixel(rx), py = round_pixel(ry);
    for (int32_t i = last_port; i >= 0; --i) {
        const RPort& port = ports_[size_t(i + 1)];
        if (!port.in_use) continue;
        if (px >= port.dest.left && px <= port.dest.right && py >= port.dest.top &&
            py <= port.dest.bottom) {
            x = round_pixel(double(px) - port.dest.left + port.source_x);
            y = round_pixel(double(py) - port.dest.top + port.source_y);
            return;
        }
    }
    const RPort& whole = ports_[0];
    x = round_pixel(double(px) - whole.dest.left + whole.source_x);
    y = round_pixel(double(py) - whole.dest.top + whole.source_y);
}

namespace {
bool write_bitmap(const std::string& path, const Bitmap24& image) {
    if (image.empty()) return false;
    auto bytes = EncodeBmp(image);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}
} // namespace

bool CDisplay::save_buffer(const std::string& path) const {
    if (!buffer_.exists()) return false;
    return write_bitmap(path, to_bitmap24(buffer_.surface));
}

bool CDisplay::save_buffer_part(const std::string& path, RRect rect) const {
    if (!buffer_.exists()) return false;
    return write_bitmap(path, buffer_.read_bitmap(rect));
}

void CDisplay::set_gamma(double red, double green, double blue) {
    gamma_ = {gamma_ramp(red), gamma_ramp(green), gamma_ramp(blue)};
    if (exclusive_ && window_ && initialised_) window_->set_gamma(gamma_);
}

void CDisplay::wait_vertical_blank() {
    if (window_ && initialised_) window_->wait_vertical_blank();
}

void CDisplay::set_caption(const std::string& text) {
    if (text == caption_) return;
    caption_ = text;
    if (window_ && initialised_) window_->set_caption(text);
}

void CDisplay::set_cursor_visible(bool visible) {
    if (window_) window_->set_cursor_visible(visible);
}

bool initialise_display(Runtime& rt, Display& window, const RDisplaySetup& setup) {
    if (!rt.display.initialise(window, setup)) return false;
    rt.images.temp = &rt.temp;
    rt.images.build_all_releasing(rt.game);
    rt.display.add_layer(&rt.images);
    rt.display.add_layer(&rt.gdi);
    rt.display.caption_painter = [&rt](DDSurface& buffer, const std::string& caption) {
        draw_caption(rt.gdi.fonts(), buffer, caption);
    };
    return true;
}

} // namespace kelvane
