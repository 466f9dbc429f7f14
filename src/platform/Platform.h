// The seams between the runner and the machine: dialogs, the loading window, the clock, the
// game window with its presentation and input, and the audio output (Audio.h). Two back ends
// implement them: headless (tests, CI, tools) and SDL (src/platform/sdl/). Later subsystems add
// their own seams here (network, libraries).
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Support_Bitmap24.h"
#include "base/Support_Strip.h"
#include "platform/Audio.h"

namespace kelvane {

// Modal messages shown to the player.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A plain message box with an OK button.
    virtual void show_message(const std::string& text) = 0;
    // An error dialog with the single button Abort, or with Abort and Ignore when
    // `can_ignore`; true when the player chose Abort.
    virtual bool show_error(const std::string& text, bool can_ignore) = 0;
    // True when the texts already go to stderr (then callers need not print them again).
    virtual bool shown_on_stderr() const { return false; }
};

// The pictures of the loading window that a game may bring, from its options.
struct RLoadingPictures {
    int32_t load_bar = 1;          // 0 no bar, 1 the default bar, 2 the game's own bar images
    std::optional<Bitmap24> image; // replaces the default loading picture
    std::optional<Bitmap24> bar_back, bar_front;
};

// The picture of the loading window: its layout and progress rules, drawn above the
// platform (the runner's loading form); a back end with a window only shows it.
class LoadingPicture {
  public:
    virtual ~LoadingPicture() = default;
    virtual void set_pictures(const RLoadingPictures& pictures) = 0;
    // Lays the window out and centres it on a screen of the given size.
    virtual void show(bool debug, int32_t screen_width, int32_t screen_height) = 0;
    virtual void progress(int percent, const std::string& caption) = 0;
    virtual void hide() = 0;
    virtual bool visible() const = 0;
    // Window position on the screen and client size.
    virtual int32_t left() const = 0;
    virtual int32_t top() const = 0;
    virtual int32_t client_width() const = 0;
    virtual int32_t client_height() const = 0;
    virtual Image32 render() const = 0;
};

// The window that shows loading progress.
class LoadingWindow {
  public:
    virtual ~LoadingWindow() = default;
    // The game's pictures, given before show; without them the default pictures show.
    virtual void set_pictures(const RLoadingPictures&) {}
    virtual void show(bool debug) = 0;
    virtual void progress(int percent, const std::string& caption) = 0;
    virtual void hide() = 0;
};

// The machine's local date and time.
inline std::tm host_local_time() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

// Millisecond tick count, sleeping and the local date: everything a game reads of time.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual int64_t ticks_ms() = 0;
    virtual void sleep_ms(int64_t ms) = 0;
    // The local date and time.
    virtual std::tm local_time() { return host_local_time(); }
    // One step of the game has run at `room_speed` steps a second; only a clock that
    // follows the game's steps counts it.
    virtual void step_passed(int32_t /*room_speed*/) {}
    // The clock that paces play in a window: itself, or the real clock behind a virtual one.
    virtual Clock& pacing() { return *this; }
    // True when time comes from the game's steps instead of the wall clock.
    virtual bool is_virtual() const { return false; }
};

// Receives the input of the game window, already in the game's terms: Windows virtual-key
// codes, Windows-1252 characters, mouse buttons 1 left, 2 right, 3 middle.
class InputSink {
  public:
    virtual ~InputSink() = default;
    virtual void key_down(int32_t vk) = 0;
    virtual void key_up(int32_t vk) = 0;
    virtual void key_press(uint8_t ch) = 0;
    virtual void mouse_down(int32_t button) = 0;
    virtual void mouse_up(int32_t button) = 0;
    // The mouse wheel turned by whole notches, positive away from the player.
    virtual void mouse_wheel(int32_t notches) { (void)notches; }
    // The player tried to close the window.
    virtual void close_request() = 0;
};

// What the game window looks like.
struct RWindowSetup {
    int32_t client_width = 640, client_height = 480; // the windowed client area
    bool full_screen = false;
    bool no_border = false;
    bool on_top = false;
    std::string caption; // Windows-1252
};

// Where the presented picture goes in the window client area: its top-left corner and the
// scale (the presented size is round(picture size x scale)). Outside it the window is
// black.
struct RPlacement {
    double scale = 1;
    int32_t x = 0, y = 0;
};

// One joystick reading as the Windows joystick interface gives it: axes 0 ... 65535
// (centre 32767), one bit per button.
struct RJoystickState {
    uint32_t x = 32767, y = 32767, z = 32767;
    uint32_t buttons = 0;
    bool operator==(const RJoystickState&) const = default;
};

// A window of our own beside the game window (the debug window): it shows the pictures it
// is given and has its own input, in its own client pixels.
class SideWindow {
  public:
    virtual ~SideWindow() = default;
    virtual void present(const Image32& picture) = 0;
    // Delivers the window's input that has arrived (the game window's event handling
    // collects it); its close button is a close request.
    virtual void process_events(InputSink& sink) = 0;
    virtual void mouse_position(int32_t& x, int32_t& y) = 0;
    // Brings the window to the front.
    virtual void raise() = 0;
    // False when no more input can come (a headless window whose script is spent).
    virtual bool input_may_come() { return true; }
};

// The game window: presentation of finished pictures, the window's look, and input.
class Display {
  public:
    virtual ~Display() = default;
    // Opens (or re-shapes) the game window; false when no window can be had.
    virtual bool open(const RWindowSetup& setup) = 0;
    // Hides the game window.
    virtual void close() = 0;
    virtual void desktop_size(int32_t& width, int32_t& height) = 0;
    // The current client area: the windowed size, or the desktop in full screen.
    virtual void client_size(int32_t& width, int32_t& height) = 0;
    virtual void set_client_size(int32_t width, int32_t height) = 0;
    virtual void set_full_screen(bool on) = 0;
    virtual void set_caption(const std::string& cp1252) = 0;
    virtual void set_cursor_visible(bool visible) = 0;
    // Shows the picture at the placement (nearest-neighbour scaling, black around it). The
    // picture stays its owner's: it is read in place, never kept as a copy, and may change
    // after the call.
    virtual void present(const Image32& picture, const RPlacement& placement) = 0;
    // Shows a picture of one of our own windows over the game (the game's picture with the
    // window drawn on it); --frames writes it as frame-NNNNNN-box-K.png, K counting the
    // pictures of such windows in the step from 1.
    virtual void present_box(const Image32& picture, const RPlacement& placement) = 0;
    // The clipboard's text, Windows-1252 (empty when there is none), and setting it.
    virtual std::string clipboard_text() { return {}; }
    virtual void set_clipboard_text(const std::string& cp1252) { (void)cp1252; }
    // Waits for the next vertical blank where the platform knows it; headless: no wait.
    virtual void wait_vertical_blank() = 0;
    // Pauses between the steps of a transition; headless: no pause.
    virtual void transition_pause(int64_t ms) = 0;
    // Sets the three gamma ramps (red, green, blue); false when the platform cannot.
    virtual bool set_gamma(const std::array<std::array<uint16_t, 256>, 3>& ramps) = 0;
    // The step about to run (1-based): presented frames are numbered by it.
    virtual void begin_step(int64_t step) = 0;
    // Handles pending window events, giving their input to the sink. Between steps this
    // is the input for the next step; headless, the scripted input of every step up to
    // the one after the last step begun.
    virtual void process_events(InputSink& sink) = 0;
    // The same, called while a step runs (io_handle, keyboard_check, a box of ours): only
    // what has arrived by now. Headless, scripted input arrives between steps only, so
    // nothing comes.
    virtual void process_events_in_step(InputSink& sink) { process_events(sink); }
    // The mouse cursor in window client pixels.
    virtual void mouse_position(int32_t& x, int32_t& y) = 0;
    // Whether a key (virtual-key code, the left/right codes 160 ... 165 included) is held
    // right now.
    virtual bool key_held(int32_t vk) = 0;
    // Joystick 1 or 2; nullopt when there is none.
    virtual std::optional<RJoystickState> joystick(int32_t id) = 0;
    // The player's own magnification of the windowed game (1, 2, 3 ...: whole pixels), on
    // top of the game's window scale. The game sees the client area it asked for; the
    // window shows it this many times larger, and a player who resizes the window changes
    // it. Headless: always 1.
    virtual void set_zoom(int32_t) {}
    virtual int32_t zoom() { return 1; }
    // Whether the game window has the keyboard focus (is the active window). Headless:
    // always.
    virtual bool has_focus() { return true; }
    // Opens a window of our own beside the game window; null where there is none.
    virtual std::unique_ptr<SideWindow> open_side_window(const std::string& caption, int32_t width,
                                                         int32_t height) {
        (void)caption, (void)width, (void)height;
        return nullptr;
    }
};

struct Platform {
    std::unique_ptr<Dialogs> dialogs;
    std::unique_ptr<LoadingWindow> loading;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Display> display;
    // Where sounds and music are heard (Audio.h).
    std::unique_ptr<Audio> audio;
};

// One line of a scripted input file: delivered before step `step` (1-based) runs.
struct RScriptedEvent {
    // `answer`: the player's answer to one of our boxes (the text), taken in order as the
    // lines of an answers file are; it reaches no input handler.
    // debug_click: a click at (a, b) in the debug window's client pixels.
    // `joystick`: joystick `a` (1 or 2) is in state `joy` from now on, or unplugged.
    enum Kind {
        key_down,
        key_up,
        character,
        mouse_move,
        mouse_down,
        mouse_up,
        close,
        answer,
        debug_click,
        joystick
    };
    int64_t step = 1;
    Kind kind = key_down;
    int32_t a = 0, b = 0;              // key code, button, or the mouse position
    std::string text;                  // Windows-1252 characters of a `char` or `answer` line
    std::optional<RJoystickState> joy; // a `joystick` line's state; nullopt: unplugged
};

struct HeadlessOptions {
    std::string frames_dir; // when set, every presented picture is written there as PNG
    std::vector<RScriptedEvent> input;
    int32_t desktop_width = 1024, desktop_height = 768;
};

// The back end that opens no window and no audio device: messages go to stderr; presented
// frames are kept (and written when asked); input comes from the script.
Platform make_headless_platform(HeadlessOptions options = {});

// The clock both back ends use: the steady clock and a real sleep.
std::unique_ptr<Clock> make_steady_clock();

} // namespace kelvane
