// Showing our own windows over the game, and the player's answers file.
#include "graphics/Form_Host.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "run/Run_Draw.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

// Where the form lands on the game's picture.
struct RFormFrame {
    int32_t outer_w = 0, outer_h = 0;   // the form with its border
    int32_t client_x = 0, client_y = 0; // the client area within the outer rectangle
    int32_t x = 0, y = 0;               // the outer rectangle's corner on the picture
    double scale = 1;                   // below 1 when the form is larger than the picture
};

RFormFrame frame_for(const TForm& form, const RFormPlace& place, int32_t pw, int32_t ph) {
    RFormFrame f;
    const bool border = form.caption().has_value();
    f.client_x = border ? form_frame : 0;
    f.client_y = border ? form_frame + form_title_height : 0;
    f.outer_w = std::max(1, form.client_width() + 2 * f.client_x);
    f.outer_h = std::max(1, form.client_height() + f.client_y + (border ? form_frame : 0));
    if (pw > 0 && ph > 0) f.scale = std::min({1.0, double(pw) / f.outer_w, double(ph) / f.outer_h});
    const int32_t w = round_pixel(f.outer_w * f.scale), h = round_pixel(f.outer_h * f.scale);
    if (place.kind == RFormPlace::at) {
        f.x = place.x, f.y = place.y;
    } else {
        f.x = (pw - w) / 2, f.y = (ph - h) / 2;
    }
    return f;
}

// The dialog border: a raised frame and a title bar with the caption and a close button.
void draw_border(CUi& ui, const RFormFrame& f, const std::string& caption, bool& close_clicked) {
    const RRect outer{0, 0, f.outer_w, f.outer_h};
    ui.fill(outer, 0xC0C0C0);
    ui.bevel(outer, true);
    const RRect bar{form_frame, form_frame, f.outer_w - form_frame, form_frame + form_title_height};
    ui.fill(bar, 0x800000);
    RCanvasFont font;
    font.spec = {"Arial", -11, true, false};
    font.colour = 0xFFFFFF;
    ui.text({bar.left + 4, bar.top, bar.right - 22, bar.bottom}, caption, font, 0, false);
    const RRect close{bar.right - 18, bar.top + 2, bar.right - 2, bar.bottom - 2};
    ButtonLook look = ui.button(ui_id("close"), close, close_clicked);
    ui.fill(close, 0xC0C0C0);
    ui.bevel(close, look != look_pressed);
    CCanvas c(ui.surface, nullptr);
    c.pen.colour = 0;
    const int32_t cx = close.left + 4, cy = close.top + 3, s = close.height() - 6;
    for (int32_t d = 0; d < 2; ++d) {
        c.line(cx + d, cy, cx + s + d, cy + s);
        c.line(cx + s - 1 + d, cy, cx - 1 + d, cy + s);
    }
}

// One frame: the form drawn over the game's picture and presented.
void paint(Runtime& rt, TForm& form, const RFormFrame& f, RUiState& state, const RUiInput& outer_in,
           bool& close_clicked) {
    DDSurface outer;
    if (!outer.create(f.outer_w, f.outer_h, false, 0, false)) return;
    close_clicked = false;
    if (auto caption = form.caption()) {
        CUi ui(outer, rt.gdi.fonts(), state, outer_in);
        draw_border(ui, f, *caption, close_clicked);
    }
    DDSurface client;
    if (!client.create(std::max(1, form.client_width()), std::max(1, form.client_height()), false,
                       0, false))
        return;
    RUiInput in = outer_in;
    in.mouse_x -= f.client_x;
    in.mouse_y -= f.client_y;
    CUi ui(client, rt.gdi.fonts(), state, in);
    form.frame(ui);
    outer.copy_whole(f.client_x, f.client_y, client, true, 1, 1);

    const DDSurface& screen = rt.display.screen();
    DDSurface picture;
    int32_t pw = screen.exists() ? screen.width : rt.display.buffer_width();
    int32_t ph = screen.exists() ? screen.height : rt.display.buffer_height();
    if (!picture.create(std::max(1, pw), std::max(1, ph), false, 0, false)) return;
    if (screen.exists()) picture.surface.pixels = screen.surface.pixels;
    picture.copy_whole(f.x, f.y, outer, true, f.scale, f.scale);
    rt.display.present_box(picture.surface);
}

// Collects one frame's input of the game window for the form.
class FormInput : public InputSink {
  public:
    FormInput(RUiInput& in, bool& held, bool& shift, bool& ctrl)
        : in_(in), held_(held), shift_(shift), ctrl_(ctrl) {}
    void key_down(int32_t vk) override {
        in_.keys.push_back(vk);
        if (ctrl_) in_.ctrl_keys.push_back(vk);
        modifier(vk, true);
    }
    void key_up(int32_t vk) override { modifier(vk, false); }
    void key_press(uint8_t ch) override {
        if (ch >= 32) in_.text += char(ch);
    }
    void mouse_down(int32_t b) override {
        if (b == 1) in_.mouse_pressed = held_ = true;
    }
    void mouse_up(int32_t b) override {
        if (b == 1) in_.mouse_released = true, held_ = false;
    }
    void mouse_wheel(int32_t notches) override { in_.wheel += notches; }
    void close_request() override { close = true; }
    bool close = false;

  private:
    void modifier(int32_t vk, bool down) {
        if (vk == 16 || vk == 160 || vk == 161) shift_ = down;
        if (vk == 17 || vk == 162 || vk == 163) ctrl_ = down;
    }
    RUiInput& in_;
    bool &held_, &shift_, &ctrl_;
};

} // namespace

std::optional<std::string> next_answer(Runtime& rt) {
    if (rt.next_answer >= rt.answers.size()) return std::nullopt;
    return rt.answers[rt.next_answer++];
}

std::optional<std::vector<std::string>> read_answers_file(const std::string& path,
                                                          std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = "cannot be read";
        return std::nullopt;
    }
    std::string bytes;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.append(chunk, size_t(file.gcount()));
        if (bytes.size() > max_answers_bytes) {
            if (error) *error = "is larger than 16 MiB";
            return std::nullopt;
        }
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

FormOutcome show_form(Runtime& rt, TForm& form, RFormPlace place) {
    auto frame = [&] {
        const DDSurface& s = rt.display.screen();
        int32_t pw = s.exists() ? s.width : rt.display.buffer_width();
        int32_t ph = s.exists() ? s.height : rt.display.buffer_height();
        return frame_for(form, place, pw, ph);
    };
    RUiState state;
    bool close_clicked = false;
    std::optional<std::string> line;
    if (form.takes_answer()) line = next_answer(rt);
    // A form that asks nothing is shown and closed at once in a headless run given answers.
    if (line || (!form.takes_answer() && !rt.answers.empty() && rt.run.headless)) {
        if (line) form.answer(*line);
        if (line && rt.recording) rt.recording->form_closed(line);
        form.closed = true;
        if (rt.display.initialised()) paint(rt, form, frame(), state, RUiInput{}, close_clicked);
        input_clear_states(rt.input);
        return FormOutcome::answered;
    }
    if (rt.run.headless || !rt.platform || !rt.platform->display || !rt.platform->clock ||
        !rt.display.initialised())
        return FormOutcome::not_shown;

    Display& window = *rt.platform->display;
    bool held = false, shift = false, ctrl = false;
    const GameOptions& options = rt.game.options;
    if (rt.recording) rt.recording->form_opened();
    int64_t last_ms = rt.platform->clock->ticks_ms();
    while (!form.closed) {
        RUiInput in;
        FormInput sink(in, held, shift, ctrl);
        window.process_events_in_step(sink);
        // The other players of a session must not take an open dialog for a vanished
        // runner.
        rt.multiplayer.poll();
        in.mouse_held = held, in.shift = shift, in.ctrl = ctrl;
        if (sink.close) {
            // The game window's close button: the form closes, and the game hears of it.
            form.close_request();
            input_close_request(rt.input);
            break;
        }
        if (in.has_key(115) && options.let_f4_switch && !options.exclusive_mode)
            rt.display.set_full_screen(!rt.display.is_full_screen());
        if (std::find(in.ctrl_keys.begin(), in.ctrl_keys.end(), 'V') != in.ctrl_keys.end())
            in.clipboard = window.clipboard_text();
        in.now_ms = rt.platform->clock->ticks_ms();
        // The game does not step, but its sounds (and a video's) play on.
        if (rt.platform->audio) rt.platform->audio->elapse(in.now_ms - last_ms);
        last_ms = in.now_ms;
        const RFormFrame f = frame();
        int32_t cx = 0, cy = 0;
        window.mouse_position(cx, cy);
        double px = 0, py = 0;
        rt.display.window_to_picture(cx, cy, px, py);
        in.mouse_x = int32_t(std::floor((px - f.x) / f.scale));
        in.mouse_y = int32_t(std::floor((py - f.y) / f.scale));
        paint(rt, form, f, state, in, close_clicked);
        if (close_clicked) form.close_request();
        if (!state.copied.empty()) {
            window.set_clipboard_text(state.copied);
            state.copied.clear();
        }
        if (!form.closed) rt.platform->clock->sleep_ms(15);
    }
    if (rt.recording)
        rt.recording->form_closed(form.takes_answer() ? std::optional(form.answer_line())
                                                      : std::nullopt);
    input_clear_states(rt.input);
    return FormOutcome::shown;
}

} // namespace kelvane
