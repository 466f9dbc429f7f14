// The headless back end: no window, no sound device; message texts go to stderr; presented
// pictures are kept and, when asked, written as PNG files; input comes from the script.
#include "platform/headless/Headless_Platform.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Platform.h"
#include "platform/Scripted_Input.h"
#include "platform/Text_Encoding.h"

namespace kelvane {

namespace {

class StderrDialogs : public Dialogs {
  public:
    void show_message(const std::string& text) override {
        std::fprintf(stderr, "%s\n", cp1252_to_utf8(text).c_str());
    }
    // Headless, an error dialog answers as Ignore when it may, else as Abort.
    bool show_error(const std::string& text, bool can_ignore) override {
        std::fprintf(stderr, "%s\n", cp1252_to_utf8(text).c_str());
        return !can_ignore;
    }
    bool shown_on_stderr() const override { return true; }
};

class SilentLoadingWindow : public LoadingWindow {
  public:
    void show(bool) override {}
    void progress(int, const std::string&) override {}
    void hide() override {}
};

class SteadyClock : public Clock {
  public:
    int64_t ticks_ms() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void sleep_ms(int64_t ms) override {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

} // namespace

HeadlessDisplay::HeadlessDisplay(HeadlessOptions options)
    : options_(std::move(options)), frames_(options_.frames_dir) {
    // The debug window's clicks go to it, not to the game window.
    auto& in = options_.input;
    for (const RScriptedEvent& e : in)
        if (e.kind == RScriptedEvent::debug_click) side_script_.push_back(e);
    std::erase_if(in,
                  [](const RScriptedEvent& e) { return e.kind == RScriptedEvent::debug_click; });
}

namespace {

// The debug window of a headless run: it keeps its last picture and clicks where the
// script says.
class HeadlessSideWindow : public SideWindow {
  public:
    explicit HeadlessSideWindow(HeadlessDisplay& display) : display_(display) {}
    void present(const Image32& picture) override { last = picture; }
    void process_events(InputSink& sink) override {
        auto& clicks = display_.side_clicks;
        if (clicks.empty()) return;
        x_ = clicks.front().a, y_ = clicks.front().b;
        clicks.erase(clicks.begin());
        sink.mouse_down(1);
        sink.mouse_up(1);
    }
    void mouse_position(int32_t& x, int32_t& y) override { x = x_, y = y_; }
    void raise() override {}
    bool input_may_come() override {
        return !display_.side_clicks.empty() || display_.side_click_due();
    }
    Image32 last;

  private:
    HeadlessDisplay& display_;
    int32_t x_ = -1, y_ = -1;
};

} // namespace

std::unique_ptr<SideWindow> HeadlessDisplay::open_side_window(const std::string&, int32_t,
                                                              int32_t) {
    return std::make_unique<HeadlessSideWindow>(*this);
}

bool HeadlessDisplay::side_click_due() const {
    return side_next_ < side_script_.size() && side_script_[side_next_].step <= step_ + 1;
}

bool HeadlessDisplay::open(const RWindowSetup& setup) {
    setup_ = setup;
    open_ = true;
    return true;
}

void HeadlessDisplay::desktop_size(int32_t& width, int32_t& height) {
    width = options_.desktop_width;
    height = options_.desktop_height;
}

void HeadlessDisplay::client_size(int32_t& width, int32_t& height) {
    if (setup_.full_screen) return desktop_size(width, height);
    width = setup_.client_width;
    height = setup_.client_height;
}

void HeadlessDisplay::set_client_size(int32_t width, int32_t height) {
    setup_.client_width = width;
    setup_.client_height = height;
}

void HeadlessDisplay::present(const Image32& picture, const RPlacement& placement) {
    last_ = &picture;
    placement_ = placement;
    ++presented_;
    // Several presentations in one step (a transition) leave the step's last picture.
    frames_.write(step_, picture);
}

void HeadlessDisplay::present_box(const Image32& picture, const RPlacement& placement) {
    // The box's picture is made for this one presentation: keep a copy.
    box_ = picture;
    last_ = &box_;
    placement_ = placement;
    ++presented_;
    frames_.write_box(step_, picture);
}

void HeadlessDisplay::process_events(InputSink& sink) {
    for (; side_click_due(); ++side_next_) side_clicks.push_back(side_script_[side_next_]);
    HeldKeys held(sink, held_);
    // Events are processed between steps: what arrives now is read by the next step.
    deliver_scripted_input(options_.input, next_event_, step_ + 1, held, mouse_x_, mouse_y_,
                           &joysticks_);
}

bool HeadlessDisplay::key_held(int32_t vk) {
    return key_is_held(held_, vk);
}

std::unique_ptr<Clock> make_steady_clock() {
    return std::make_unique<SteadyClock>();
}

Platform make_headless_platform(HeadlessOptions options) {
    Platform p;
    p.dialogs = std::make_unique<StderrDialogs>();
    p.loading = std::make_unique<SilentLoadingWindow>();
    p.clock = make_steady_clock();
    p.display = std::make_unique<HeadlessDisplay>(std::move(options));
    // The mix runs in step time; the start-up gives it a file and decoders when asked.
    p.audio = make_step_audio("", {});
    return p;
}

} // namespace kelvane
