// The colour chooser.
#include "functions/Chooser_Colour.h"

#include <algorithm>
#include <cmath>

#include "functions/Chooser_Parts.h"
#include "functions/Support_Message.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

int32_t round_half_up(double x) {
    return int32_t(std::floor(x + 0.5));
}

// The palette's place on the form: 8 columns and 6 rows of cells.
constexpr int32_t cell_w = 20, cell_h = 16, cell_step_x = 24, cell_step_y = 20;
constexpr int32_t palette_x = 12, palette_y = 12, palette_cols = 8;

RRect cell_rect(int32_t i) {
    const int32_t x = palette_x + (i % palette_cols) * cell_step_x;
    const int32_t y = palette_y + (i / palette_cols) * cell_step_y;
    return {x, y, x + cell_w, y + cell_h};
}

const char* const field_names[6] = {"Red:", "Green:", "Blue:", "Hue:", "Sat:", "Val:"};
const int32_t field_limits[6] = {255, 255, 255, 359, 100, 100};

RRect field_rect(int32_t f) {
    // Red, green and blue on the right, hue, saturation and value beside them.
    const int32_t row = f % 3, x = f < 3 ? 344 : 252;
    return {x, 76 + row * 26, x + 44, 76 + row * 26 + 20};
}

// A field's number: digits only, held to its range; nullopt while it is empty or not a
// number.
std::optional<int32_t> field_value(const std::string& text, int32_t limit) {
    auto v = parse_integer(text);
    if (!v) return std::nullopt;
    return std::clamp(*v, 0, limit);
}

} // namespace

RHsv rgb_to_hsv(RRgb c) {
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    double h = 0;
    if (d > 0) {
        if (mx == r) {
            h = 60 * std::fmod((g - b) / d + 6, 6.0);
        } else if (mx == g) {
            h = 60 * ((b - r) / d + 2);
        } else {
            h = 60 * ((r - g) / d + 4);
        }
    }
    RHsv out;
    out.h = round_half_up(h) % 360;
    out.s = mx > 0 ? round_half_up(100 * d / mx) : 0;
    out.v = round_half_up(100 * mx);
    return out;
}

RRgb hsv_to_rgb(RHsv in) {
    const int32_t hue = ((in.h % 360) + 360) % 360;
    const double s = std::clamp(in.s, 0, 100) / 100.0, v = std::clamp(in.v, 0, 100) / 100.0;
    const double c = v * s, h = hue / 60.0;
    const double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1)), m = v - c;
    double r = 0, g = 0, b = 0;
    switch (int32_t(h)) {
    case 0:
        r = c, g = x;
        break;
    case 1:
        r = x, g = c;
        break;
    case 2:
        g = c, b = x;
        break;
    case 3:
        g = x, b = c;
        break;
    case 4:
        r = x, b = c;
        break;
    default:
        r = c, b = x;
        break;
    }
    return {round_half_up((r + m) * 255), round_half_up((g + m) * 255),
            round_half_up((b + m) * 255)};
}

RRgb rgb_of_colour(uint32_t colour) {
    return {int32_t(colour & 0xFF), int32_t((colour >> 8) & 0xFF), int32_t((colour >> 16) & 0xFF)};
}

uint32_t colour_of_rgb(RRgb c) {
    auto part = [](int32_t v) { return uint32_t(std::clamp(v, 0, 255)); };
    return part(c.r) | part(c.g) << 8 | part(c.b) << 16;
}

std::optional<uint32_t> parse_colour_answer(const std::string& line) {
    if (line.size() == 7 && line[0] == '#') {
        uint32_t web = 0;
        for (size_t i = 1; i < 7; ++i) {
            const char c = char(std::tolower(static_cast<unsigned char>(line[i])));
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
            web = web * 16 + uint32_t(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        return colour_of_rgb({int32_t(web >> 16), int32_t((web >> 8) & 0xFF), int32_t(web & 0xFF)});
    }
    if (line.find(',') != std::string::npos) {
        int32_t parts[3];
        size_t start = 0;
        for (int32_t i = 0; i < 3; ++i) {
            size_t end = line.find(',', start);
            if ((i < 2) == (end == std::string::npos)) return std::nullopt;
            auto v =
                parse_integer(line.substr(start, end == std::string::npos ? end : end - start));
            if (!v || *v < 0 || *v > 255) return std::nullopt;
            parts[i] = *v;
            start = end + 1;
        }
        return colour_of_rgb({parts[0], parts[1], parts[2]});
    }
    auto v = parse_integer(line);
    if (!v || *v < 0 || *v > 0xFFFFFF) return std::nullopt;
    return uint32_t(*v);
}

const std::array<uint32_t, 48>& colour_palette() {
    static const std::array<uint32_t, 48> palette = [] {
        std::array<uint32_t, 48> p{};
        const int32_t hues[8] = {0, 30, 60, 120, 180, 210, 240, 300};
        const int32_t sv[5][2] = {{40, 100}, {100, 100}, {100, 75}, {100, 50}, {100, 25}};
        for (int32_t row = 0; row < 5; ++row)
            for (int32_t col = 0; col < 8; ++col)
                p[size_t(row * 8 + col)] =
                    colour_of_rgb(hsv_to_rgb({hues[col], sv[row][0], sv[row][1]}));
        for (int32_t col = 0; col < 8; ++col) {
            const int32_t grey = round_half_up(col * 255 / 7.0);
            p[size_t(40 + col)] = colour_of_rgb({grey, grey, grey});
        }
        return p;
    }();
    return palette;
}

TColourForm::TColourForm(uint32_t start) : colour(start & 0xFFFFFF) {
    set_colour(colour, -1);
}

void TColourForm::set_colour(uint32_t c, int32_t keep_field) {
    colour = c & 0xFFFFFF;
    const RRgb rgb = rgb_of_colour(colour);
    const RHsv hsv = rgb_to_hsv(rgb);
    const int32_t values[6] = {rgb.r, rgb.g, rgb.b, hsv.h, hsv.s, hsv.v};
    for (int32_t f = 0; f < 6; ++f)
        if (f != keep_field) fields_[size_t(f)] = std::to_string(values[f]);
    const auto& p = colour_palette();
    auto it = std::find(p.begin(), p.end(), colour);
    selected_ = it != p.end() ? int32_t(it - p.begin()) : -1;
}

void TColourForm::frame(CUi& ui) {
    const uint32_t palette_id = ui_id("palette");
    uint32_t order[7] = {palette_id};
    for (int32_t f = 0; f < 6; ++f) order[f + 1] = ui_id(field_names[f]);
    if (first_frame_) {
        ui.state.focus = palette_id;
        first_frame_ = false;
    }
    const auto& palette = colour_palette();
    const RRect all{0, 0, client_width(), client_height()};
    ui.fill(all, 0xC0C0C0);

    // The keys of the form: Enter, Escape, Tab between the controls, the arrows in the
    // palette.
    for (int32_t k : ui.in.keys) {
        if (k == vk_return) accepted = closed = true;
        if (k == vk_escape) closed = true;
        if (k == vk_tab) {
            int32_t at = int32_t(std::find(order, order + 7, ui.state.focus) - order) % 7;
            at = (at + (ui.in.shift ? 6 : 1)) % 7;
            ui.state.focus = order[at];
            if (at > 0) ui.state.anchor = 0, ui.state.caret = fields_[size_t(at - 1)].size();
        }
        if (ui.state.focus == palette_id) {
            int32_t step = k == vk_left    ? -1
                           : k == vk_right ? 1
                           : k == vk_up    ? -8
                           : k == vk_down  ? 8
                                           : 0;
            if (step != 0)
                set_colour(palette[size_t(selected_ < 0 ? 0 : std::clamp(selected_ + step, 0, 47))],
                           -1);
        }
    }

    for (int32_t i = 0; i < 48; ++i) {
        const RRect r = cell_rect(i);
        bool clicked = false;
        ui.button(ui_id("cell", i), r, clicked);
        if (clicked) {
            ui.state.focus = palette_id;
            set_colour(palette[size_t(i)], -1);
        }
        ui.fill(r, palette[size_t(i)]);
        ui.bevel(r, false);
        if (i == selected_) {
            const RRect o{r.left - 2, r.top - 2, r.right + 2, r.bottom + 2};
            const uint32_t mark = ui.state.focus == palette_id ? 0 : 0x808080;
            ui.fill({o.left, o.top, o.right, o.top + 1}, mark);
            ui.fill({o.left, o.bottom - 1, o.right, o.bottom}, mark);
            ui.fill({o.left, o.top, o.left + 1, o.bottom}, mark);
            ui.fill({o.right - 1, o.top, o.right, o.bottom}, mark);
        }
    }

    // The sample, and the colour as a Windows value.
    const RRect sample{216, 12, 388, 52};
    ui.fill(sample, colour);
    ui.bevel(sample, false);
    label(ui, {216, 54, 388, 70}, "Color value: " + std::to_string(colour));

    for (int32_t f = 0; f < 6; ++f) {
        const RRect r = field_rect(f);
        label(ui, {r.left - 42, r.top, r.left - 2, r.bottom}, field_names[f]);
        std::string& text = fields_[size_t(f)];
        const std::string before = text;
        ui.text_field(order[f + 1], r, text, chooser_font(), 0xFFFFFF);
        // Only digits go into the fields.
        std::string digits;
        for (char c : text)
            if (c >= '0' && c <= '9' && digits.size() < 3) digits += c;
        if (digits != text) {
            text = digits;
            ui.state.caret = ui.state.anchor = std::min(ui.state.caret, text.size());
        }
        if (text == before) continue;
        auto v = field_value(text, field_limits[f]);
        if (!v) continue;
        if (f < 3) {
            RRgb rgb = rgb_of_colour(colour);
            (f == 0 ? rgb.r : f == 1 ? rgb.g : rgb.b) = *v;
            set_colour(colour_of_rgb(rgb), f);
        } else {
            RHsv hsv;
            hsv.h = field_value(fields_[3], 359).value_or(0);
            hsv.s = field_value(fields_[4], 100).value_or(0);
            hsv.v = field_value(fields_[5], 100).value_or(0);
            const std::string keep = text;
            set_colour(colour_of_rgb(hsv_to_rgb(hsv)), -1);
            // The hue, saturation and value stay as typed: a colour has many of them.
            fields_[3] = std::to_string(hsv.h);
            fields_[4] = std::to_string(hsv.s);
            fields_[5] = std::to_string(hsv.v);
            fields_[size_t(f)] = keep;
        }
    }

    if (push_button(ui, {228, 200, 300, 224}, "OK", true)) accepted = closed = true;
    if (push_button(ui, {312, 200, 388, 224}, "Cancel")) closed = true;
    label(ui, {12, 140, 204, 156}, "Tab: next field; arrows: palette");
}

void TColourForm::answer(const std::string& line) {
    closed = true;
    if (auto c = parse_colour_answer(line)) {
        set_colour(*c, -1);
        accepted = true;
    }
}

int32_t choose_colour(Runtime& rt, int32_t start) {
    if (rt.game.options.exclusive_mode) return 0;
    TColourForm form{uint32_t(start)};
    if (show_form(rt, form) == FormOutcome::not_shown) return 0;
    return form.accepted ? int32_t(form.colour) : -1;
}

} // namespace kelvane
