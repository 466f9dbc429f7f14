// The controls of our own windows.
#include "graphics/Form_Widgets.h"

#include <algorithm>

namespace kelvane {

namespace {

constexpr uint32_t light = 0xFFFFFF, shadow = 0x808080, face = 0xC0C0C0, dark = 0x404040;

bool inside(const RRect& r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

} // namespace

bool RUiInput::has_key(int32_t vk) const {
    return std::find(keys.begin(), keys.end(), vk) != keys.end();
}

uint32_t ui_id(std::string_view text, int32_t n) {
    // FNV-1a; 0 is kept for "no control".
    uint32_t h = 2166136261u ^ uint32_t(n);
    for (char c : text) h = (h ^ uint8_t(c)) * 16777619u;
    return h ? h : 1;
}

CUi::CUi(DDSurface& surface_, CFonts& fonts_, RUiState& state_, const RUiInput& input)
    : surface(surface_), fonts(fonts_), state(state_), in(input) {}

bool CUi::mouse_over(const RRect& r) const {
    return inside(r, in.mouse_x, in.mouse_y);
}

CCanvas CUi::canvas(const RCanvasFont& font) {
    CCanvas c(surface, &fonts);
    c.font = font;
    c.brush.style = brush_hollow;
    return c;
}

ButtonLook CUi::button(uint32_t id, const RRect& r, bool& clicked) {
    clicked = false;
    const bool over = mouse_over(r);
    if (over) state.hot = id;
    if (over && in.mouse_pressed) state.active = id;
    if (state.active == id && in.mouse_released) {
        clicked = over;
        state.active = 0;
    }
    if (state.active == id && in.mouse_held) return over ? look_pressed : look_normal;
    return over ? look_over : look_normal;
}

void CUi::fill(const RRect& r, uint32_t colour) {
    CCanvas c(surface, nullptr);
    c.pen.colour = colour;
    c.brush.colour = colour;
    c.brush.style = brush_solid;
    c.rectangle(r.left, r.top, r.right, r.bottom);
}

void CUi::bevel(const RRect& r, bool raised) {
    CCanvas c(surface, nullptr);
    const uint32_t a = raised ? light : shadow, b = raised ? dark : light;
    c.pen.colour = a;
    c.line(r.left, r.bottom - 1, r.left, r.top);
    c.line(r.left, r.top, r.right - 1, r.top);
    c.pen.colour = b;
    c.line(r.right - 1, r.top, r.right - 1, r.bottom - 1);
    c.line(r.right - 1, r.bottom - 1, r.left - 1, r.bottom - 1);
}

void CUi::text(const RRect& r, std::string_view s, const RCanvasFont& font, int32_t align,
               bool wrap) {
    CCanvas c = canvas(font);
    RRect old = surface.clip;
    // Text stays inside its rectangle (and inside what was clipped before).
    surface.clip = {std::max(r.left, old.left), std::max(r.top, old.top),
                    std::min(r.right, old.right), std::min(r.bottom, old.bottom)};
    CCanvas clipped = canvas(font);
    if (!wrap) {
        int32_t w = clipped.text_width(s), h = clipped.text_height("M");
        int32_t x = align == 1 ? r.left + (r.width() - w) / 2 : align == 2 ? r.right - w : r.left;
        clipped.text_out(x, r.top + (r.height() - h) / 2, s);
    } else {
        int32_t y = r.top, h = clipped.text_height("M");
        for (std::string_view line : text_lines(s)) {
            for (std::string_view piece : wrap_line(clipped, line, r.width())) {
                int32_t w = clipped.text_width(piece);
                int32_t x = align == 1   ? r.left + (r.width() - w) / 2
                            : align == 2 ? r.right - w
                                         : r.left;
                clipped.text_out(x, y, piece);
                y += h;
            }
            if (line.empty()) y += h;
        }
    }
    (void)c;
    surface.clip = old;
}

size_t caret_at(CCanvas& canvas, std::string_view text, int32_t x) {
    size_t best = 0;
    int32_t best_d = x < 0 ? -x : x;
    for (size_t i = 1; i <= text.size(); ++i) {
        int32_t d = canvas.text_width(text.substr(0, i)) - x;
        if (d < 0) d = -d;
        if (d < best_d) best = i, best_d = d;
    }
    return best;
}

void CUi::text_field(uint32_t id, const RRect& r, std::string& s, const RCanvasFont& font,
                     uint32_t back_colour) {
    const int32_t pad = 3;
    CCanvas measure = canvas(font);
    if (mouse_over(r) && in.mouse_pressed) {
        state.focus = id;
        state.active = id;
        state.caret = state.anchor = caret_at(measure, s, in.mouse_x - r.left - pad);
    } else if (state.active == id && in.mouse_held) {
        state.caret = caret_at(measure, s, in.mouse_x - r.left - pad); // dragging selects
    }
    if (state.active == id && in.mouse_released) state.active = 0;
    if (state.focus == id) {
        // The caret belongs to the focused field alone; other fields leave it be.
        state.caret = std::min(state.caret, s.size());
        state.anchor = std::min(state.anchor, s.size());
        auto selection = [&] {
            return std::pair(std::min(state.caret, state.anchor),
                             std::max(state.caret, state.anchor));
        };
        auto erase_selection = [&] {
            auto [a, b] = selection();
            s.erase(a, b - a);
            state.caret = state.anchor = a;
            return b > a;
        };
        auto insert = [&](std::string_view t) {
            erase_selection();
            s.insert(state.caret, t);
            state.caret = state.anchor = state.caret + t.size();
        };
        auto move = [&](size_t to) {
            state.caret = to;
            if (!in.shift) state.anchor = to;
        };
        for (int32_t k : in.ctrl_keys) {
            if (k == 'A') {
                state.anchor = 0, state.caret = s.size();
            } else if (k == 'C' || k == 'X') {
                auto [a, b] = selection();
                if (b > a) state.copied = s.substr(a, b - a);
                if (k == 'X') erase_selection();
            } else if (k == 'V') {
                std::string paste;
                for (char c : in.clipboard)
                    if (uint8_t(c) >= 32) paste += c; // one line: breaks are left out
                insert(paste);
            }
        }
        for (int32_t k : in.keys) {
            if (k == vk_back) {
                if (!erase_selection() && state.caret > 0) {
                    s.erase(state.caret - 1, 1);
                    state.caret = state.anchor = state.caret - 1;
                }
            } else if (k == vk_delete) {
                if (!erase_selection() && state.caret < s.size()) s.erase(state.caret, 1);
            } else if (k == vk_left) {
                move(state.caret > 0 ? state.caret - 1 : 0);
            } else if (k == vk_right) {
                move(std::min(s.size(), state.caret + 1));
            } else if (k == vk_home) {
                move(0);
            } else if (k == vk_end) {
                move(s.size());
            }
        }
        if (!in.text.empty()) insert(in.text);
    }
    fill(r, back_colour);
    bevel(r, false);
    RRect inner{r.left + pad, r.top + 1, r.right - pad, r.bottom - 1};
    RRect old = surface.clip;
    surface.clip = {std::max(inner.left, old.left), std::max(inner.top, old.top),
                    std::min(inner.right, old.right), std::min(inner.bottom, old.bottom)};
    CCanvas c = canvas(font);
    const int32_t h = c.text_height("M");
    const int32_t y = r.top + (r.height() - h) / 2;
    // The text scrolls so that the caret stays in view.
    int32_t caret_x = c.text_width(std::string_view(s).substr(0, state.caret));
    int32_t shift = std::max(0, caret_x - (inner.width() - 2));
    if (state.focus == id && state.caret != state.anchor) {
        auto a = std::min(state.caret, state.anchor), b = std::max(state.caret, state.anchor);
        int32_t x0 = c.text_width(std::string_view(s).substr(0, a));
        int32_t x1 = c.text_width(std::string_view(s).substr(0, b));
        fill({inner.left + x0 - shift, y, inner.left + x1 - shift, y + h}, 0x800000);
        c.text_out(inner.left - shift, y, s.substr(0, a));
        c.font.colour = 0xFFFFFF;
        c.text_out(inner.left + x0 - shift, y, s.substr(a, b - a));
        c.font.colour = font.colour;
        c.text_out(inner.left + x1 - shift, y, s.substr(b));
    } else {
        c.text_out(inner.left - shift, y, s);
    }
    if (state.focus == id) {
        int32_t x = inner.left + caret_x - shift;
        fill({x, y, x + 1, y + h}, font.colour);
    }
    surface.clip = old;
}

void CUi::scroll_bar(uint32_t id, const RRect& r, int32_t& pos, int32_t range, int32_t page,
                     int32_t step) {
    const int32_t w = r.width();
    const int32_t max_pos = std::max(0, range - page);
    RRect up{r.left, r.top, r.right, r.top + w}, down{r.left, r.bottom - w, r.right, r.bottom};
    bool clicked = false;
    button(id + 1, up, clicked);
    if (clicked) pos -= step;
    button(id + 2, down, clicked);
    if (clicked) pos += step;
    const RRect track{r.left, up.bottom, r.right, down.top};
    const int32_t track_h = std::max(1, track.height());
    const int32_t thumb_h =
        range > 0 ? std::clamp(int32_t(int64_t(track_h) * page / range), 8, track_h) : track_h;
    // Dragging the thumb or clicking the track places it under the mouse.
    if (mouse_over(track) && in.mouse_pressed) state.active = id;
    if (state.active == id) {
        if (in.mouse_held && track_h > thumb_h) {
            int64_t y = in.mouse_y - track.top - thumb_h / 2;
            pos = int32_t(y * max_pos / (track_h - thumb_h));
        }
        if (in.mouse_released) state.active = 0;
    }
    pos = std::clamp(pos, 0, max_pos);
    const int32_t thumb_y =
        track.top + (max_pos > 0 ? int32_t(int64_t(track_h - thumb_h) * pos / max_pos) : 0);
    fill(r, 0xE0E0E0);
    for (const RRect& b : {up, down}) {
        fill(b, face);
        bevel(b, true);
    }
    // The arrows: small triangles.
    CCanvas c(surface, nullptr);
    c.pen.colour = 0;
    for (int32_t i = 0; i < 4; ++i) {
        int32_t cx = r.left + w / 2;
        c.line(cx - i, up.top + w / 2 - 2 + i, cx + i + 1, up.top + w / 2 - 2 + i);
        c.line(cx - i, down.bottom - w / 2 + 1 - i, cx + i + 1, down.bottom - w / 2 + 1 - i);
    }
    RRect thumb{r.left, thumb_y, r.right, thumb_y + thumb_h};
    fill(thumb, face);
    bevel(thumb, true);
}

} // namespace kelvane
