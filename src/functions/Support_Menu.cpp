// The pop-up menu.
#include "functions/Support_Menu.h"

#include <algorithm>

#include "functions/Support_Message.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

constexpr int32_t row_height = 20, separator_height = 8, pad = 3;

RCanvasFont menu_font() {
    RCanvasFont f;
    f.spec = {"Arial", -12, false, false};
    return f;
}

} // namespace

std::vector<RMenuEntry> menu_entries(const std::string& items) {
    std::vector<RMenuEntry> out;
    int32_t n = 0;
    size_t start = 0;
    while (true) {
        size_t end = items.find('|', start);
        std::string part = items.substr(start, end == std::string::npos ? end : end - start);
        out.push_back({part, part == "-" ? -1 : n++});
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

TMenuForm::TMenuForm(std::vector<RMenuEntry> entries) : entries_(std::move(entries)) {
    CFonts fonts;
    DDSurface scratch;
    scratch.create(1, 1, false, 0, false);
    CCanvas c(scratch, &fonts);
    c.font = menu_font();
    for (const auto& e : entries_) width_ = std::max(width_, c.text_width(e.text) + 32);
    width_ = std::min(width_, 600);
}

int32_t TMenuForm::client_height() const {
    int32_t h = 2 * pad;
    for (const auto& e : entries_) h += e.number < 0 ? separator_height : row_height;
    return h;
}

void TMenuForm::move(int32_t by) {
    const int32_t n = int32_t(entries_.size());
    for (int32_t k = 0, i = selected_; k < n; ++k) {
        i = ((i < 0 && by < 0 ? n : i) + by + n) % n;
        if (entries_[size_t(i)].number >= 0) return void(selected_ = i);
    }
}

void TMenuForm::frame(CUi& ui) {
    for (int32_t k : ui.in.keys) {
        if (k == vk_escape) closed = true;
        if (k == vk_down) move(1);
        if (k == vk_up) move(-1);
        if (k == vk_return && selected_ >= 0) {
            chosen = entries_[size_t(selected_)].number;
            closed = true;
        }
    }
    const RRect all{0, 0, client_width(), client_height()};
    ui.fill(all, 0xF0F0F0);
    ui.bevel(all, true);
    // A click outside the menu closes it without a choice.
    if (ui.in.mouse_pressed && !ui.mouse_over(all)) closed = true;
    int32_t y = pad;
    const RCanvasFont font = menu_font();
    for (size_t i = 0; i < entries_.size(); ++i) {
        const RMenuEntry& e = entries_[i];
        if (e.number < 0) {
            ui.fill({pad + 2, y + 3, all.right - pad - 2, y + 4}, 0x808080);
            ui.fill({pad + 2, y + 4, all.right - pad - 2, y + 5}, 0xFFFFFF);
            y += separator_height;
            continue;
        }
        const RRect r{pad, y, all.right - pad, y + row_height};
        bool clicked = false;
        ui.button(ui_id(e.text, e.number), r, clicked);
        if (ui.mouse_over(r)) selected_ = int32_t(i);
        RCanvasFont f = font;
        if (selected_ == int32_t(i)) {
            ui.fill(r, 0x800000);
            f.colour = 0xFFFFFF;
        }
        ui.text({r.left + 16, r.top, r.right - 4, r.bottom}, e.text, f, 0, false);
        if (clicked) {
            chosen = e.number;
            closed = true;
        }
        y += row_height;
    }
}

void TMenuForm::answer(const std::string& line) {
    closed = true;
    if (auto n = parse_integer(line)) {
        for (const auto& e : entries_)
            if (e.number >= 0 && e.number == *n) return void(chosen = *n);
        return;
    }
    for (const auto& e : entries_)
        if (e.number >= 0 && e.text == line) return void(chosen = e.number);
}

RFormPlace menu_place(int32_t x, int32_t y, int32_t w, int32_t h, int32_t pw, int32_t ph) {
    auto axis = [](int32_t at, int32_t size, int32_t room) {
        if (at + size > room && at - size >= 0) at -= size;
        return std::max(0, std::min(at, room - size));
    };
    RFormPlace place;
    place.kind = RFormPlace::at;
    place.x = axis(x, w, pw), place.y = axis(y, h, ph);
    return place;
}

int32_t show_menu(Runtime& rt, const std::string& items, int32_t fallback) {
    if (rt.game.options.exclusive_mode) return fallback;
    TMenuForm form(menu_entries(items));
    RFormPlace place;
    place.kind = RFormPlace::at;
    if (rt.platform && rt.platform->display) {
        int32_t cx = 0, cy = 0;
        rt.platform->display->mouse_position(cx, cy);
        double px = 0, py = 0;
        rt.display.window_to_picture(cx, cy, px, py);
        const DDSurface& s = rt.display.screen();
        const int32_t pw = s.exists() ? s.width : rt.display.buffer_width();
        const int32_t ph = s.exists() ? s.height : rt.display.buffer_height();
        place = menu_place(round_pixel(px), round_pixel(py), form.client_width(),
                           form.client_height(), pw, ph);
    }
    show_form(rt, form, place);
    return form.chosen >= 0 ? form.chosen : fallback;
}

} // namespace kelvane
