// The debug window, drawn with the widget layer into its own window beside the game.
#include "runner/Debug_Form.h"

#include <algorithm>
#include <cstdio>

#include "graphics/Form_Host.h"
#include "run/Run_Draw.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

constexpr int32_t base_width = 300, extras_width = 270, window_height = 330;
constexpr int32_t row_h = 16, list_row_h = 14;
constexpr uint32_t face = 0xC0C0C0, white = 0xFFFFFF, grey_text = 0x808080, select = 0x800000;
const RRect grid_box{6, 52, 294, 276};
const RRect instance_box{306, 22, 564, 170}, variable_box{306, 194, 564, 324};

struct ControlInfo {
    const char* caption;
    const char* hint;
};

// The captions and hints of the controls, in the order of DebugControl.
const ControlInfo controls[] = {
    {"Restart", "Restart the game"},
    {"Run", "Continue running the game"},
    {"Pause", "Pause the game"},
    {"Step", "Do a single step"},
    {"Stop", "Stop the game"},
    {"&Add", "Add an expression"},
    {"&Change", "Change the selected expression"},
    {"&Delete", "Delete the selected expression"},
    {"D&elete All", "Delete all expressions"},
};

RCanvasFont ui_font(uint32_t colour = 0, bool bold = false) {
    RCanvasFont f;
    f.spec = {"Arial", -11, bold, false};
    f.colour = colour;
    return f;
}

// The caption without its accelerator marks.
std::string shown(const char* caption) {
    std::string s;
    for (const char* c = caption; *c; ++c)
        if (*c != '&') s += *c;
    return s;
}

// Collects one frame of the window's input.
class DebugInput : public InputSink {
  public:
    explicit DebugInput(RUiInput& in) : in_(in) {}
    void key_down(int32_t vk) override { in_.keys.push_back(vk); }
    void key_up(int32_t) override {}
    void key_press(uint8_t ch) override {
        if (ch >= 32) in_.text += char(ch);
    }
    void mouse_down(int32_t b) override {
        if (b == 1) in_.mouse_pressed = true;
    }
    void mouse_up(int32_t b) override {
        if (b == 1) in_.mouse_released = true;
    }
    void mouse_wheel(int32_t notches) override { in_.wheel += notches; }
    void close_request() override { close = true; }
    bool close = false;

  private:
    RUiInput& in_;
};

std::string number_text(double v) {
    return watch_value_text(RValue(v));
}

} // namespace

TDebugForm::TDebugForm(Runtime& rt, bool extras) : rt_(rt), extras_(extras) {}
TDebugForm::~TDebugForm() = default;

int32_t TDebugForm::client_width() const {
    return base_width + (extras_ ? extras_width : 0);
}
int32_t TDebugForm::client_height() {
    return window_height;
}

RRect TDebugForm::control_rect(DebugControl c) {
    const int32_t i = int32_t(c);
    if (i <= int32_t(DebugControl::stop)) return {6 + i * 58, 4, 6 + i * 58 + 54, 26};
    const int32_t k = i - int32_t(DebugControl::add);
    return {6 + k * 72, 284, 6 + k * 72 + 68, 306};
}

int32_t TDebugForm::grid_row_at(int32_t x, int32_t y, int32_t first_row) {
    if (x < grid_box.left || x >= grid_box.right || y < grid_box.top + row_h ||
        y >= grid_box.bottom)
        return -1;
    return first_row + (y - grid_box.top - row_h) / row_h;
}

bool TDebugForm::open() {
    if (!rt_.platform || !rt_.platform->display) return false;
    window_ = rt_.platform->display->open_side_window("Debug Information", client_width(),
                                                      client_height());
    if (!window_) return false;
    paint(RUiInput{});
    return true;
}

bool TDebugForm::enabled(DebugControl c) const {
    switch (c) {
    case DebugControl::restart:
        return buttons_.restart;
    case DebugControl::run:
        return buttons_.run;
    case DebugControl::pause:
        return buttons_.pause;
    case DebugControl::step:
        return buttons_.step;
    case DebugControl::stop:
        return buttons_.stop;
    default:
        return true;
    }
}

void TDebugForm::press(DebugControl c) {
    RunState& run = rt_.run;
    if (!enabled(c)) return;
    switch (c) {
    case DebugControl::pause:
        if (!run.running || run.paused) return;
        debug_buttons_paused(buttons_);
        run.paused = true;
        break;
    case DebugControl::run:
        if (!run.running || !run.paused) return;
        debug_buttons_running(buttons_);
        resume_ = true;
        break;
    case DebugControl::step:
        if (!run.running || !run.paused) return;
        step_paused_game(rt_);
        break;
    case DebugControl::stop:
        stop_game(rt_);
        break;
    case DebugControl::restart:
        if (run.running) request_restart_game(rt_);
        break;
    case DebugControl::add:
        if (auto text = input_box("")) grid_.add(*text);
        grid_.refresh(rt_);
        break;
    case DebugControl::change:
        if (grid_.empty_row_selected()) return press(DebugControl::add);
        if (auto text = input_box(grid_.expression(grid_.selected())))
            grid_.change(grid_.selected(), *text);
        grid_.refresh(rt_);
        break;
    case DebugControl::remove:
        grid_.delete_selected();
        break;
    case DebugControl::remove_all:
        grid_.delete_all();
        break;
    }
}

void TDebugForm::pause_key() {
    press(DebugControl::pause);
    if (window_) window_->raise();
}

void TDebugForm::snapshot() {
    CRoom* room = rt_.run.room();
    const int32_t count = room ? int32_t(room->instances.size()) : 0;
    speed_label_ = "speed: " + std::to_string(rt_.run.fps) + " fps";
    instance_label_ = "instances: " + std::to_string(count);
    if (!extras_) return;
    instances_.clear();
    variables_.clear();
    if (!room) return;
    for (const auto& p : room->instances) {
        const CInstance& i = *p;
        if (i.destroyed) continue;
        char pos[80];
        std::snprintf(pos, sizeof pos, "  (%s, %s)  depth %s", number_text(i.x).c_str(),
                      number_text(i.y).c_str(), number_text(i.depth).c_str());
        instances_.push_back(
            {i.id, std::to_string(i.id) + "  " + rt_.game.objects.name(i.object_index) + pos});
        if (i.id != selected_instance_) continue;
        auto add = [&](const std::string& name, double v) {
            variables_.push_back(name + " = " + number_text(v));
        };
        add("x", i.x), add("y", i.y), add("xprevious", i.xprevious), add("yprevious", i.yprevious);
        add("hspeed", i.hspeed), add("vspeed", i.vspeed), add("speed", i.speed);
        add("direction", i.direction), add("friction", i.friction), add("gravity", i.gravity);
        add("depth", i.depth), add("sprite_index", i.sprite_index);
        add("image_index", i.image_index), add("image_speed", i.image_speed);
        add("visible", i.visible), add("solid", i.solid), add("persistent", i.persistent);
        for (size_t a = 0; a < i.alarm.size(); ++a)
            if (i.alarm[a] >= 0) add("alarm[" + std::to_string(a) + "]", i.alarm[a]);
        for (int32_t v = 0; v < i.variables.count(); ++v) {
            const CVariable& var = i.variables.item(v);
            variables_.push_back(rt_.script.names.name(var.id) + " = " +
                                 watch_value_text(var.get(0)));
        }
    }
}

void TDebugForm::refresh() {
    if (!window_) return;
    grid_.refresh(rt_);
    snapshot();
    // Headless, nobody looks at the picture between clicks.
    if (!rt_.run.headless) paint(RUiInput{});
}

RUiInput TDebugForm::collect() {
    RUiInput in;
    DebugInput sink(in);
    window_->process_events(sink);
    if (sink.close) closed_ = true;
    window_->mouse_position(in.mouse_x, in.mouse_y);
    in.mouse_held = in.mouse_pressed && !in.mouse_released;
    if (rt_.platform && rt_.platform->clock) in.now_ms = rt_.platform->clock->pacing().ticks_ms();
    return in;
}

void TDebugForm::window_events() {
    if (!window_ || in_box_) return;
    RUiInput in = collect();
    if (closed_) {
        // Closing the window is Stop.
        closed_ = false;
        stop_game(rt_);
        return;
    }
    const bool clicked = in.mouse_pressed || in.mouse_released || !in.keys.empty();
    if (rt_.run.headless && !clicked) return;
    frame(in);
}

bool TDebugForm::wait_while_paused() {
    resume_ = false;
    if (!window_) return false;
    snapshot();
    paint(RUiInput{});
    while (rt_.run.running && rt_.run.paused && !resume_) {
        process_window_events(rt_);
        if (resume_ || !rt_.run.running || !rt_.run.paused) break;
        if (rt_.input.close_request || !window_->input_may_come()) {
            // The game window closed, or (headless) nothing more can be clicked.
            stop_game(rt_);
            break;
        }
        if (!rt_.run.headless && rt_.platform->clock) rt_.platform->clock->pacing().sleep_ms(15);
    }
    return resume_ && rt_.run.running;
}

// One frame: the controls react to the input, then the window is painted.
void TDebugForm::frame(const RUiInput& in) {
    // The grid: a click selects a row, a second one soon after on the same row changes it.
    const int32_t row = grid_row_at(in.mouse_x, in.mouse_y, 1 + grid_scroll_);
    if (in.mouse_pressed && row >= 1 && row < grid_.row_count()) {
        grid_.select(row);
        const bool twice = row == last_press_row_ && in.now_ms - last_press_ms_ < 400;
        last_press_row_ = row, last_press_ms_ = in.now_ms;
        if (twice) {
            last_press_row_ = -1;
            press(DebugControl::change);
        }
    }
    if (in.wheel && in.mouse_x >= grid_box.left && in.mouse_x < grid_box.right &&
        in.mouse_y >= grid_box.top && in.mouse_y < grid_box.bottom)
        grid_scroll_ = std::max(0, grid_scroll_ - in.wheel);
    if (extras_) {
        auto inside = [&](const RRect& r) {
            return in.mouse_x >= r.left && in.mouse_x < r.right && in.mouse_y >= r.top &&
                   in.mouse_y < r.bottom;
        };
        if (inside(instance_box)) {
            instance_scroll_ = std::max(0, instance_scroll_ - in.wheel);
            const int32_t k = instance_scroll_ + (in.mouse_y - instance_box.top) / list_row_h;
            if (in.mouse_pressed && k >= 0 && k < int32_t(instances_.size())) {
                selected_instance_ = instances_[size_t(k)].id;
                variable_scroll_ = 0;
                snapshot();
            }
        }
        if (inside(variable_box)) variable_scroll_ = std::max(0, variable_scroll_ - in.wheel);
    }
    paint(in);
}

void TDebugForm::paint(const RUiInput& in) {
    DDSurface surface;
    if (!surface.create(client_width(), client_height(), false, 0, false)) return;
    CUi ui(surface, rt_.gdi.fonts(), state_, in);
    ui.fill({0, 0, client_width(), client_height()}, face);
    const RCanvasFont font = ui_font(), bold = ui_font(0, true);

    std::vector<DebugControl> clicked;
    uint32_t hovered = 0;
    const char* hint = nullptr;
    for (int32_t i = 0; i <= int32_t(DebugControl::remove_all); ++i) {
        const auto c = DebugControl(i);
        const RRect r = control_rect(c);
        const uint32_t id = ui_id(controls[i].caption);
        bool click = false;
        ButtonLook look = ui.button(id, r, click);
        if (click) clicked.push_back(c);
        if (ui.mouse_over(r)) hovered = id, hint = controls[i].hint;
        ui.fill(r, face);
        ui.bevel(r, look != look_pressed);
        ui.text(r, shown(controls[i].caption), ui_font(enabled(c) ? 0 : grey_text), 1, false);
    }
    ui.text({8, 30, 150, 48}, speed_label_, font, 0, false);
    ui.text({150, 30, 292, 48}, instance_label_, font, 0, false);

    // The watch grid: the header, the watches and the empty last row.
    ui.fill(grid_box, white);
    ui.bevel(grid_box, false);
    const int32_t half = grid_box.left + (grid_box.right - grid_box.left) / 2;
    const RRect header{grid_box.left + 1, grid_box.top + 1, grid_box.right - 1,
                       grid_box.top + row_h};
    ui.fill(header, face);
    ui.text({header.left + 3, header.top, half, header.bottom}, "Expression", font, 0, false);
    ui.text({half + 3, header.top, header.right, header.bottom}, "Value", font, 0, false);
    const int32_t visible_rows = (grid_box.height() - row_h) / row_h;
    grid_scroll_ = std::clamp(grid_scroll_, 0, std::max(0, grid_.row_count() - 1 - visible_rows));
    for (int32_t k = 0; k < visible_rows; ++k) {
        const int32_t row = 1 + grid_scroll_ + k;
        if (row >= grid_.row_count()) break;
        const int32_t top = grid_box.top + row_h + k * row_h;
        const RRect r{grid_box.left + 1, top, grid_box.right - 1, top + row_h};
        const bool sel = row == grid_.selected();
        if (sel) ui.fill(r, select);
        const RCanvasFont f = ui_font(sel ? white : 0);
        ui.text({r.left + 3, r.top, half - 2, r.bottom}, grid_.expression(row), f, 0, false);
        ui.text({half + 3, r.top, r.right - 2, r.bottom}, grid_.value(row), f, 0, false);
    }

    if (extras_) {
        ui.text({306, 4, 564, 20}, "Instances (id, object, position, depth)", bold, 0, false);
        ui.fill(instance_box, white);
        ui.bevel(instance_box, false);
        const int32_t n = instance_box.height() / list_row_h;
        instance_scroll_ =
            std::clamp(instance_scroll_, 0, std::max(0, int32_t(instances_.size()) - n));
        for (int32_t k = 0; k < n && instance_scroll_ + k < int32_t(instances_.size()); ++k) {
            const InstanceRow& row = instances_[size_t(instance_scroll_ + k)];
            const int32_t top = instance_box.top + k * list_row_h;
            const RRect r{instance_box.left + 1, top, instance_box.right - 1, top + list_row_h};
            const bool sel = row.id == selected_instance_;
            if (sel) ui.fill(r, select);
            ui.text({r.left + 3, r.top, r.right, r.bottom}, row.text, ui_font(sel ? white : 0), 0,
                    false);
        }
        ui.text({306, 176, 564, 192},
                selected_instance_ ? "Variables of " + std::to_string(selected_instance_)
                                   : std::string("Variables (click an instance)"),
                bold, 0, false);
        ui.fill(variable_box, white);
        ui.bevel(variable_box, false);
        const int32_t m = variable_box.height() / list_row_h;
        variable_scroll_ =
            std::clamp(variable_scroll_, 0, std::max(0, int32_t(variables_.size()) - m));
        for (int32_t k = 0; k < m && variable_scroll_ + k < int32_t(variables_.size()); ++k) {
            const int32_t top = variable_box.top + k * list_row_h;
            ui.text({variable_box.left + 4, top, variable_box.right - 2, top + list_row_h},
                    variables_[size_t(variable_scroll_ + k)], font, 0, false);
        }
    }

    // The hint of the control under the mouse, once the mouse has rested on it.
    if (hovered != hover_) hover_ = hovered, hover_since_ = in.now_ms;
    if (hint && in.now_ms - hover_since_ >= 500) {
        CCanvas measure = ui.canvas(font);
        const int32_t w = measure.text_width(hint) + 8;
        int32_t x = std::min(in.mouse_x + 4, client_width() - w - 1);
        const int32_t y = std::min(in.mouse_y + 18, client_height() - 18);
        const RRect tip{x, y, x + w, y + 16};
        ui.fill(tip, 0xE1FFFF);
        ui.bevel(tip, false);
        ui.text(tip, hint, font, 1, false);
    }
    window_->present(surface.surface);
    for (DebugControl c : clicked) press(c);
}

std::optional<std::string> TDebugForm::input_box(const std::string& initial) {
    // Headless, the answer comes from the run's answers file, if it has one.
    if (rt_.run.headless) return next_answer(rt_);
    in_box_ = true;
    std::string text = initial;
    std::optional<std::string> result;
    RUiState box_state;
    box_state.focus = ui_id("watch text");
    box_state.caret = text.size();
    bool done = false;
    const RRect box{20, 90, 280, 210};
    const RRect ok{box.right - 150, box.bottom - 30, box.right - 80, box.bottom - 8};
    const RRect cancel{box.right - 74, box.bottom - 30, box.right - 8, box.bottom - 8};
    while (!done && rt_.run.running) {
        process_window_events(rt_);
        RUiInput in = collect();
        if (closed_ || in.has_key(vk_escape)) break;
        if (in.has_key(vk_return)) {
            result = text;
            break;
        }
        DDSurface surface;
        if (!surface.create(client_width(), client_height(), false, 0, false)) break;
        CUi ui(surface, rt_.gdi.fonts(), box_state, in);
        ui.fill({0, 0, client_width(), client_height()}, face);
        ui.fill(box, face);
        ui.bevel(box, true);
        const RRect title{box.left + 2, box.top + 2, box.right - 2, box.top + 20};
        ui.fill(title, select);
        ui.text({title.left + 4, title.top, title.right, title.bottom}, "Provide an expression.",
                ui_font(white, true), 0, false);
        ui.text({box.left + 10, box.top + 26, box.right - 10, box.top + 44},
                "Please type in the expression", ui_font(), 0, false);
        ui.text_field(ui_id("watch text"),
                      {box.left + 10, box.top + 48, box.right - 10, box.top + 70}, text, ui_font(),
                      white);
        for (const RRect* r : {&ok, &cancel}) {
            bool click = false;
            ButtonLook look = ui.button(ui_id(r == &ok ? "OK" : "Cancel"), *r, click);
            ui.fill(*r, face);
            ui.bevel(*r, look != look_pressed);
            ui.text(*r, r == &ok ? "OK" : "Cancel", ui_font(), 1, false);
            if (click) {
                if (r == &ok) result = text;
                done = true;
            }
        }
        window_->present(surface.surface);
        if (!done && rt_.platform->clock) rt_.platform->clock->pacing().sleep_ms(15);
    }
    closed_ = false;
    in_box_ = false;
    paint(RUiInput{});
    return result;
}

} // namespace kelvane
