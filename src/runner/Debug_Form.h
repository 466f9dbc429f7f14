// The debug window: a second window beside the game with the speed and instance labels,
// the watch grid with its buttons, and the tool bar that pauses, steps, continues,
// restarts and stops the game. With `run --debug` it also lists the room's instances and
// the variables of the selected one, and a key of the game window pauses and shows it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphics/Form_Widgets.h"
#include "platform/Platform.h"
#include "run/Run_Main.h"
#include "run/Runner_Debug.h"

namespace kelvane {

struct Runtime;

enum class DebugControl { restart, run, pause, step, stop, add, change, remove, remove_all };

class TDebugForm : public DebugWatcher {
  public:
    // `extras`: the instance list and the variables (run --debug).
    TDebugForm(Runtime& rt, bool extras);
    ~TDebugForm() override;

    // Opens the window beside the game's; false where no window can be had.
    bool open();
    void refresh() override;
    void window_events() override;
    void pause_key() override;
    // While the game is paused: the window's own loop, until Run is pressed (true) or the
    // game has ended (false). Headless, once no click can come any more, it stops the game.
    bool wait_while_paused();

    // What a control does when it is clicked (nothing when it is disabled).
    void press(DebugControl c);
    static RRect control_rect(DebugControl c);
    // The row of the watch grid at a point of the window (-1 when none).
    static int32_t grid_row_at(int32_t x, int32_t y, int32_t first_row);
    int32_t client_width() const;
    static int32_t client_height();

    const RDebugButtons& buttons() const { return buttons_; }
    CWatchGrid& grid() { return grid_; }
    const std::string& speed_label() const { return speed_label_; }
    const std::string& instance_label() const { return instance_label_; }

  private:
    struct InstanceRow {
        int32_t id = 0;
        std::string text;
    };
    Runtime& rt_;
    bool extras_;
    std::unique_ptr<SideWindow> window_;
    RUiState state_;
    RDebugButtons buttons_;
    CWatchGrid grid_;
    std::string speed_label_ = "Speed: 0 fps", instance_label_ = "Instances: 0";
    std::vector<InstanceRow> instances_;
    std::vector<std::string> variables_;
    int32_t selected_instance_ = 0, instance_scroll_ = 0, variable_scroll_ = 0;
    int32_t grid_scroll_ = 0;
    bool resume_ = false, in_box_ = false, closed_ = false;
    uint32_t hover_ = 0;
    int64_t hover_since_ = 0, last_press_ms_ = -1000;
    int32_t last_press_row_ = -1;

    RUiInput collect();
    void frame(const RUiInput& in);
    void paint(const RUiInput& in);
    void snapshot();
    std::optional<std::string> input_box(const std::string& initial);
    bool enabled(DebugControl c) const;
};

} // namespace kelvane
