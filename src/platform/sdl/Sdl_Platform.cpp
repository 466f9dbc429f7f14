// Starting SDL, message boxes, the loading window, and the platform factory.
#include "platform/sdl/Sdl_Platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Text_Encoding.h"
#include "platform/sdl/Sdl_Display.h"

namespace kelvane {

SdlSession::~SdlSession() {
    SDL_Quit();
}

namespace {

class SdlDialogs : public Dialogs {
  public:
    explicit SdlDialogs(SdlSessionRef session) : session_(std::move(session)) {}
    void show_message(const std::string& text) override {
        const std::string utf8 = cp1252_to_utf8(text);
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "Kelvane", utf8.c_str(),
                                     nullptr) != 0)
            std::fprintf(stderr, "%s\n", text.c_str());
    }

    // The error dialog: Abort alone, or Abort and Ignore; without a desktop to show it on,
    // the text goes to stderr and the answer is what headless runs answer.
    bool show_error(const std::string& text, bool can_ignore) override {
        const std::string utf8 = cp1252_to_utf8(text);
        std::fprintf(stderr, "%s\n", utf8.c_str());
        SDL_MessageBoxButtonData buttons[2] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Abort"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "Ignore"},
        };
        SDL_MessageBoxData box{SDL_MESSAGEBOX_ERROR, nullptr, "Error", utf8.c_str(),
                               can_ignore ? 2 : 1,   buttons, nullptr};
        int chosen = can_ignore ? 0 : 1;
        if (SDL_ShowMessageBox(&box, &chosen) != 0) return !can_ignore;
        return chosen == 1;
    }

  private:
    SdlSessionRef session_;
};

// The loading window: a small borderless window centred on the screen, showing the
// picture the form draws.
class SdlLoadingWindow : public LoadingWindow {
  public:
    SdlLoadingWindow(SdlSessionRef session, std::unique_ptr<LoadingPicture> form)
        : session_(std::move(session)), form_(std::move(form)) {}
    ~SdlLoadingWindow() override { destroy(); }

    void set_pictures(const RLoadingPictures& pictures) override {
        if (form_) form_->set_pictures(pictures);
    }

    void show(bool debug) override {
        if (!form_) return;
        SDL_DisplayMode mode;
        int sw = 640, sh = 480;
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0) sw = mode.w, sh = mode.h;
        form_->show(debug, sw, sh);
        destroy();
        window_ = SDL_CreateWindow(
            "", form_->left(), form_->top(), form_->client_width(), form_->client_height(),
            SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR);
        if (!window_) return;
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) return destroy();
        SDL_SetCursor(wait_cursor());
        paint();
    }

    void progress(int percent, const std::string& caption) override {
        if (!form_) return;
        form_->progress(percent, caption);
        paint();
        // Keeps the window responsive during the long load; the events stay queued.
        SDL_PumpEvents();
    }

    void hide() override {
        destroy();
        if (form_) form_->hide();
        SDL_SetCursor(SDL_GetDefaultCursor());
    }

  private:
    SdlSessionRef session_;
    std::unique_ptr<LoadingPicture> form_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Cursor* cursor_ = nullptr;

    SDL_Cursor* wait_cursor() {
        if (!cursor_) cursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
        return cursor_ ? cursor_ : SDL_GetDefaultCursor();
    }

    void paint() {
        if (!renderer_ || !form_ || !form_->visible()) return;
        Image32 picture = form_->render();
        if (picture.pixels.empty()) return;
        SDL_Texture* t = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888,
                                           SDL_TEXTUREACCESS_STATIC, picture.width, picture.height);
        if (!t) return;
        SDL_UpdateTexture(t, nullptr, picture.pixels.data(), picture.width * 4);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, t, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
        SDL_DestroyTexture(t);
    }

    void destroy() {
        if (renderer_) SDL_DestroyRenderer(renderer_), renderer_ = nullptr;
        if (window_) SDL_DestroyWindow(window_), window_ = nullptr;
        if (cursor_) SDL_FreeCursor(cursor_), cursor_ = nullptr;
    }
};

} // namespace

namespace {

bool set_in_environment(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// Starts SDL's video on a real display. Left to itself SDL falls back to its off-screen
// driver, which opens windows nobody sees; so unless the user names a driver, only the
// window systems the environment points at are tried, then the console's (KMSDRM).
bool start_video(std::string& why) {
    if (set_in_environment("SDL_VIDEODRIVER")) {
        if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
        why = SDL_GetError();
        return false;
    }
    std::vector<const char*> drivers;
    if (set_in_environment("DISPLAY")) drivers.push_back("x11");
    if (set_in_environment("WAYLAND_DISPLAY")) drivers.push_back("wayland");
    drivers.push_back("KMSDRM");
    for (const char* d : drivers) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, d);
        // An X server may drop a connection it has just accepted (Xvfb does when clients
        // come and go quickly): a window system is given three tries, 100 ms apart.
        int tries = std::string_view(d) == "KMSDRM" ? 1 : 3;
        for (int t = 1; t <= tries; ++t) {
            if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
            if (t < tries) {
                SDL_Quit();
                SDL_Delay(100);
            }
        }
        why += std::string(why.empty() ? "" : "; ") + d + ": " + SDL_GetError();
        SDL_Quit();
    }
    if (!set_in_environment("DISPLAY") && !set_in_environment("WAYLAND_DISPLAY"))
        why = "no display: DISPLAY and WAYLAND_DISPLAY are not set; " + why;
    return false;
}

} // namespace

std::optional<Platform> make_sdl_platform(const SdlOptions& options, std::string* error) {
    std::string why;
    if (!start_video(why)) {
        if (error) *error = why;
        SDL_Quit();
        return std::nullopt;
    }
    // Joysticks are a bonus: a machine without their support still plays.
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    auto session = std::make_shared<SdlSession>();
    Platform p;
    p.dialogs = std::make_unique<SdlDialogs>(session);
    p.loading = std::make_unique<SdlLoadingWindow>(
        session, options.loading_picture ? options.loading_picture() : nullptr);
    p.clock = make_steady_clock();
    p.display = std::make_unique<SdlDisplay>(session, options.frames_dir);
    return p;
}

} // namespace kelvane
