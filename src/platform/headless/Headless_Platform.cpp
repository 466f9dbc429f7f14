// The headless back end: no window, no audio; message texts go to stderr.
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Platform.h"
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

Platform make_headless_platform() {
    Platform p;
    p.dialogs = std::make_unique<StderrDialogs>();
    p.loading = std::make_unique<SilentLoadingWindow>();
    p.clock = std::make_unique<SteadyClock>();
    return p;
}

} // namespace kelvane
