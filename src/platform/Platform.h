// The seams between the runner and the machine: dialogs, the loading window, the clock.
// Two back ends implement them: headless (tests, CI, tools) and the windowed one. Later
// subsystems add their own seams here (display and input, audio, network, libraries).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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

// The window that shows loading progress.
class LoadingWindow {
  public:
    virtual ~LoadingWindow() = default;
    virtual void show(bool debug) = 0;
    virtual void progress(int percent, const std::string& caption) = 0;
    virtual void hide() = 0;
};

// Millisecond tick count and sleeping.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual int64_t ticks_ms() = 0;
    virtual void sleep_ms(int64_t ms) = 0;
};

struct Platform {
    std::unique_ptr<Dialogs> dialogs;
    std::unique_ptr<LoadingWindow> loading;
    std::unique_ptr<Clock> clock;
};

// The back end that opens no window and no audio device: messages go to stderr.
Platform make_headless_platform();

} // namespace kelvane
