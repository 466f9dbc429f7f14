// The message box: layout, our default pictures, the picture buttons, keys and answers.
#include "functions/Support_Message.h"

#include <algorithm>
#include <cstdio>

#include "platform/Text_Encoding.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

void put(Bitmap24& b, int32_t x, int32_t y, uint32_t colour) {
    if (x < 0 || y < 0 || x >= b.width || y >= b.height) return;
    size_t i = (size_t(y) * size_t(b.width) + size_t(x)) * 3;
    b.pixels[i] = uint8_t(colour >> 16);    // blue
    b.pixels[i + 1] = uint8_t(colour >> 8); // green
    b.pixels[i + 2] = uint8_t(colour);      // red
}

Bitmap24 blank(int32_t w, int32_t h) {
    Bitmap24 b;
    b.width = w, b.height = h;
    b.pixels.assign(size_t(w) * size_t(h) * 3, 0);
    return b;
}

uint32_t rgb(int32_t r, int32_t g, int32_t b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}

// A raised or sunken frame `width` pixels thick.
void frame(Bitmap24& b, int32_t width, bool raised) {
    const uint32_t hi = raised ? rgb(255, 255, 255) : rgb(96, 96, 112);
    const uint32_t lo = raised ? rgb(96, 96, 112) : rgb(255, 255, 255);
    for (int32_t k = 0; k < width; ++k) {
        for (int32_t x = k; x < b.width - k; ++x) put(b, x, k, hi), put(b, x, b.height - 1 - k, lo);
        for (int32_t y = k; y < b.height - k; ++y) put(b, k, y, hi), put(b, b.width - 1 - k, y, lo);
    }
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

RCanvasFont RMessageFont::canvas_font() const {
    RCanvasFont f;
    f.spec.name = name;
    f.spec.height = font_height_for_points(points);
    f.spec.bold = style == 1 || style == 3;
    f.spec.italic = style == 2 || style == 3;
    f.colour = colour;
    return f;
}

void RMessageFont::change(const std::string& new_name, int32_t new_points, int32_t new_colour,
                          int32_t new_style) {
    if (!new_name.empty()) name = new_name;
    if (new_points >= 0) points = new_points;
    if (new_colour >= 0) colour = uint32_t(new_colour) & 0xFFFFFF;
    if (new_style >= 0 && new_style <= 3) style = new_style;
}

Bitmap24 default_message_background() {
    // A soft vertical gradient of blue-grey inside a raised frame.
    Bitmap24 b = blank(320, 140);
    for (int32_t y = 0; y < b.height; ++y) {
        int32_t t = y * 40 / b.height;
        for (int32_t x = 0; x < b.width; ++x) put(b, x, y, rgb(236 - t, 240 - t, 250 - t / 2));
    }
    frame(b, 2, true);
    return b;
}

Bitmap24 default_message_button(int32_t look) {
    Bitmap24 b = blank(80, 25);
    const int32_t top = look == look_over ? 250 : look == look_pressed ? 200 : 232;
    for (int32_t y = 0; y < b.height; ++y) {
        int32_t t = look == look_pressed ? -y : y; // pressed: light at the bottom
        for (int32_t x = 0; x < b.width; ++x)
            put(b, x, y, rgb(top - 24 - t, top - 20 - t, std::min(255, top - t + 8)));
    }
    frame(b, 1, look != look_pressed);
    return b;
}

RMessageLayout message_layout(int32_t cw, int32_t ch, int32_t bw, int32_t bh, int32_t ih) {
    RMessageLayout l;
    const int32_t by = ch - bh - 16;
    l.buttons[0] = {24, by, 24 + bw, by + bh};
    const int32_t mid = (cw - bw) / 2;
    l.buttons[1] = {mid, by, mid + bw, by + bh};
    l.buttons[2] = {cw - bw - 24, by, cw - 24, by + bh};
    l.text = {24, 16, 24 + (cw - 48), 16 + (ch - bh - 32)};
    l.input = {24, by - 16 - ih, cw - 24, by - 16};
    return l;
}

TMessageForm::TMessageForm(const RMessageSettings& settings, std::string text,
                           std::array<std::string, 3> captions, bool input, std::string field_)
    : field(std::move(field_)), settings_(settings), text_(std::move(text)),
      captions_(std::move(captions)), input_(input) {
    background_ = settings.background ? *settings.background : default_message_background();
    for (int32_t i = 0; i < 3; ++i)
        pictures_[size_t(i)] =
            settings.buttons ? (*settings.buttons)[size_t(i)] : default_message_button(i);
}

std::optional<std::string> TMessageForm::caption() const {
    if (!settings_.show_caption) return std::nullopt;
    return settings_.caption;
}

int32_t TMessageForm::input_height() const {
    // An edit box: the font's cell and a few pixels of frame.
    return std::max(8, -settings_.input_font.canvas_font().spec.height * 5 / 4 + 8);
}

void TMessageForm::close_with(int32_t r) {
    result = r;
    closed = true;
}

void TMessageForm::close_request() {
    close_with(0);
}

void TMessageForm::frame(CUi& ui) {
    const Bitmap24& pic0 = pictures_[0];
    const RMessageLayout l =
        message_layout(client_width(), client_height(), pic0.width, pic0.height, input_height());
    ui.surface.draw_bitmap(background_, 0, 0);
    ui.text(l.text, text_, settings_.text_font.canvas_font(), 0, true);
    if (input_) {
        const uint32_t id = ui_id("input");
        if (ui.state.focus == 0) {
            ui.state.focus = id;
            ui.state.anchor = 0, ui.state.caret = field.size(); // all selected at first
        }
        ui.text_field(id, l.input, field, settings_.input_font.canvas_font(),
                      settings_.input_colour);
    }
    const RCanvasFont font = settings_.button_font.canvas_font();
    for (int32_t i = 0; i < 3; ++i) {
        if (captions_[size_t(i)].empty()) continue;
        bool clicked = false;
        const RRect& r = l.buttons[size_t(i)];
        const ButtonLook look = ui.button(ui_id(captions_[size_t(i)], i + 1), r, clicked);
        ui.surface.draw_bitmap(pictures_[size_t(look)], r.left, r.top, settings_.button_key);
        RCanvasFont f = font;
        if (look != look_normal) f.colour = settings_.mouse_colour.value_or(font.colour);
        ui.text(r, captions_[size_t(i)], f, 1, false);
        if (clicked) close_with(i + 1);
    }
    if (closed) return;
    for (int32_t k : ui.in.keys) {
        if (k == vk_return) return close_with(1);
        if (k == vk_escape) return close_with(0);
    }
}

void TMessageForm::answer(const std::string& line) {
    if (input_) {
        field = line;
        return close_with(1);
    }
    if (auto n = parse_integer(line); n && *n >= 0 && *n <= 3) return close_with(*n);
    for (int32_t i = 0; i < 3; ++i) {
        const std::string& c = captions_[size_t(i)];
        if (!c.empty() && c.size() == line.size() &&
            std::equal(c.begin(), c.end(), line.begin(), [](char a, char b) {
                return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b));
            }))
            return close_with(i + 1);
    }
    close_with(1); // anything else: Enter
}

std::string hash_to_line_breaks(std::string text) {
    for (char& c : text)
        if (c == '#') c = '\n';
    return text;
}

std::optional<int32_t> parse_integer(const std::string& text) {
    size_t i = 0, n = text.size();
    while (i < n && is_blank(text[i])) ++i;
    while (n > i && is_blank(text[n - 1])) --n;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= n) return std::nullopt;
    int64_t v = 0;
    for (; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
    return int32_t(v);
}

namespace {

RFormPlace place_of(const RMessageSettings& s) {
    RFormPlace p;
    if (s.position) p.kind = RFormPlace::at, p.x = s.position->first, p.y = s.position->second;
    return p;
}

void to_stderr(Runtime& rt, const std::string& text) {
    if (rt.run.headless) std::fprintf(stderr, "%s\n", cp1252_to_utf8(text).c_str());
}

} // namespace

int32_t show_message_box(Runtime& rt, const std::string& text, std::array<std::string, 3> captions,
                         int32_t no_window_result) {
    const std::string shown = hash_to_line_breaks(text);
    to_stderr(rt, shown);
    if (rt.game.options.exclusive_mode) return no_window_result;
    TMessageForm form(rt.message, shown, std::move(captions));
    if (show_form(rt, form, place_of(rt.message)) == FormOutcome::not_shown)
        return no_window_result;
    return form.result;
}

bool show_question(Runtime& rt, const std::string& text) {
    return show_message_box(rt, text, {"Yes", "", "No"}, 1) == 1;
}

std::optional<std::string> show_input_box(Runtime& rt, const std::string& text,
                                          const std::string& field) {
    const std::string shown = hash_to_line_breaks(text);
    to_stderr(rt, shown);
    if (rt.game.options.exclusive_mode) return std::nullopt;
    TMessageForm form(rt.message, shown, {"", "OK", ""}, true, field);
    if (show_form(rt, form, place_of(rt.message)) == FormOutcome::not_shown) return std::nullopt;
    return form.field;
}

} // namespace kelvane
